// The extract button b_thaw: the help box on a click, and on a drop the
// folder choice, the trial of the three archivers in fixed order and the
// result box. The readouts are paused throughout. The flow reaches the
// gadget through Host, the boxes through the dialog service and the
// extraction library through Archivers.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "drop/archivers.h"
#include "ui/dialogs.h"

namespace tarvex::drop {

inline constexpr std::string_view kHelpText =
    "ここに書庫ファイルをドロップすると解凍できます。\r\n"
    "解凍可能な書庫形式は、\r\n"
    "ZIP,CAB,LZHです。";
inline constexpr std::string_view kPickerTitle = "解凍するフォルダを選択してください";
inline constexpr std::string_view kExtracting = "解凍中...";
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

// The library's one question: "解凍先に同じ名前のファイルが N 個あります。"
// CR LF "上書きしますか？".
std::string OverwriteQuestion(int count);

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

// What the flow needs of the gadget around it.
class Host {
 public:
  virtual ~Host() = default;
  virtual void PauseReadouts() = 0;
  virtual void ResumeReadouts() = 0;
  virtual void SetInfo(std::string_view text) = 0;
  // The archive path, kept in the parked text field Text1 between drops.
  virtual void SetArchivePath(std::string_view path) = 0;
  virtual std::string ArchivePath() = 0;
  // True once the program was closed (a close request can arrive while a box
  // of the flow is open); the flow then changes nothing more.
  virtual bool Closed() const = 0;
  virtual Dialogs& dialogs() = 0;
};

// The library's host during one drop: the overwrite question as a box owned
// by the main window, and the originals an archiver had to keep aside.
class DialogHost final : public extract::ExtractHost {
 public:
  explicit DialogHost(Dialogs& dialogs) : dialogs_(dialogs) {}
  extract::OverwriteAnswer AskOverwrite(int count) override;
  void OriginalKept(const std::string& original, const std::string& keptAs) override;
  // Windows paths of the kept originals, in the order reported.
  const std::vector<std::string>& kept() const { return kept_; }

 private:
  Dialogs& dialogs_;
  std::vector<std::string> kept_;
};

// The extract button's two handlers.
class ExtractButton {
 public:
  ExtractButton(Host& host, Archivers& archivers) : host_(host), archivers_(archivers) {}
  void b_thaw_Click();
  void b_thaw_OLEDragDrop(const std::vector<std::string>& paths, bool hasFileList);

 private:
  Host& host_;
  Archivers& archivers_;
};

}  // namespace tarvex::drop
