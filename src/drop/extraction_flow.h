// The extract button's flow: the help box on a click, and on a drop the
// folder choice, the trial of the three archivers in fixed order and the
// result box. The readouts are paused throughout.
#pragma once

#include <string>
#include <string_view>

#include "shell/platform.h"

namespace tarvex::extract {

inline constexpr std::string_view kHelpText =
    "ここに書庫ファイルをドロップすると解凍できます。\r\n"
    "解凍可能な書庫形式は、\r\n"
    "ZIP,CAB,LZHです。";
inline constexpr std::string_view kPickerTitle = "解凍するフォルダを選択してください";
inline constexpr std::string_view kSuccessText =
    "解凍は正常に完了しました。\r\n"
    "以下のフォルダに解凍されています。\r\n";  // followed by the folder
inline constexpr std::string_view kFailureText =
    "解凍は失敗しました。\r\n"
    "--考えられる原因--\r\n"
    "・ZIP,CAB,LZH形式の書庫ファイルではない。\r\n"
    "・書庫ファイルが壊れている。\r\n"
    "・書庫ファイル名を含むパスに半角スペースがある。";
// After a result box's text, when a failed archiver could not put back files
// it had replaced: this line, then one line per kept file.
inline constexpr std::string_view kKeptOriginalsText =
    "元のファイルを元に戻せなかったため、次の名前で残しています。";

struct ArchiverTrial {
  Archiver which;
  std::string_view option;
  int outputSize;
};

// In the order of trial.
inline constexpr ArchiverTrial kArchiverTrials[] = {
    {Archiver::UnZip, "-xs ", 0},
    {Archiver::Cab, "-x ", 0},
    {Archiver::Unlha, "e ", 255},
};

// option + archive + " " + folder + "\" (paths unquoted, as they stand).
std::string BuildArchiverCommand(std::string_view option, std::string_view archive,
                                 std::string_view folder);

}  // namespace tarvex::extract
