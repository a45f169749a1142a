// Decoders for the LZH compression methods: stored (-lh0-, -lz4-), the
// adaptive-Huffman -lh1-, the static-Huffman block family -lh4- to -lh7-,
// and the two LZSS methods -lzs- and -lz5-. Every decoder streams: it reads
// the compressed bytes through a bounded buffer and hands the output on in
// chunks, keeping only its sliding window in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "extract/reader.h"

namespace tarvex::extract::lzh {

enum class Method { Lh0, Lh1, Lh4, Lh5, Lh6, Lh7, Lzs, Lz4, Lz5, Lhd, Unknown };

// The method from the five bytes of its id ("-lh5-"); Unknown for any other.
Method MethodFromId(const std::uint8_t* id5);

// CRC-16 as LZH uses it (reflected polynomial 0xA001, start value 0).
std::uint16_t Crc16(std::uint16_t crc, const std::uint8_t* p, std::size_t n);

// The most bytes the method can decode from packedSize bytes of data: a
// recorded size above it cannot be right.
std::uint64_t MaxOutput(Method method, std::uint64_t packedSize);

// Receives decoded bytes; returns false to stop (the decode then ends Aborted).
using OutputFn = std::function<bool(const std::uint8_t*, std::size_t)>;

// Decodes the entry whose compressed bytes are file[offset, offset+packedSize)
// into exactly originalSize bytes. Returns Ok, Corrupt (bad or truncated data,
// or the data would need more bytes than packedSize), IoError, Aborted, or
// Unsupported for Unknown/Lhd.
Status Decode(Method method, InputFile& file, std::uint64_t offset, std::uint64_t packedSize,
              std::uint64_t originalSize, const OutputFn& out);

}  // namespace tarvex::extract::lzh
