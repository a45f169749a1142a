#include "drop/extraction_flow.h"

#include <algorithm>
#include <optional>

namespace tarvex::drop {

std::string OverwriteQuestion(int count) {
  return "解凍先に同じ名前のファイルが " + std::to_string(count) + " 個あります。\r\n上書きしますか？";
}

std::string BuildArchiverCommand(std::string_view option, std::string_view archive,
                                 std::string_view folder) {
  std::string cmd;
  cmd.reserve(option.size() + archive.size() + folder.size() + 2);
  cmd += option;
  cmd += archive;
  cmd += ' ';
  cmd += folder;
  cmd += '\\';
  return cmd;
}

extract::OverwriteAnswer DialogHost::AskOverwrite(int count) {
  switch (dialogs_.MessageBox(FormId::Main, OverwriteQuestion(count), kCaption, MsgIcon::Question,
                              MsgButtons::YesNoCancel)) {
    case MsgResult::Yes: return extract::OverwriteAnswer::Yes;
    case MsgResult::No: return extract::OverwriteAnswer::No;
    default: return extract::OverwriteAnswer::Cancel;
  }
}

void DialogHost::OriginalKept(const std::string&, const std::string& keptAs) {
  std::string path = keptAs;
  std::replace(path.begin(), path.end(), '/', '\\');
  kept_.push_back(std::move(path));
}

void ExtractButton::b_thaw_Click() {
  host_.PauseReadouts();
  host_.dialogs().MessageBox(FormId::Main, kHelpText, kCaption, MsgIcon::Information, MsgButtons::Ok);
  host_.ResumeReadouts();
}

void ExtractButton::b_thaw_OLEDragDrop(const std::vector<std::string>& paths, bool hasFileList) {
  host_.PauseReadouts();
  // Data without a file (or with an empty list) has nothing to extract: it
  // is ignored before a folder is asked for.
  if (hasFileList && !paths.empty() && !paths.front().empty()) {
    const std::string folder = host_.dialogs().BrowseForFolder(FormId::Main, kPickerTitle).value_or("");
    if (!folder.empty() && !host_.Closed()) {
      host_.SetInfo(kExtracting);
      host_.SetArchivePath(paths.front());
      DialogHost library(host_.dialogs());
      bool ok = false;
      for (const auto& trial : kArchiverTrials) {
        if (host_.Closed()) break;  // the program was closed from a nested box
        const std::string cmd = BuildArchiverCommand(trial.option, host_.ArchivePath(), folder);
        int result = 1;
        try {
          result = archivers_.Run(trial.which, cmd, trial.outputSize, library);
        } catch (...) {
          result = 1;  // an archiver that fails abnormally has failed
        }
        if (result == 0) {
          ok = true;
          break;
        }
      }
      if (host_.Closed()) return;
      std::string notice;
      if (!library.kept().empty()) {
        notice = "\r\n\r\n" + std::string(kKeptOriginalsText);
        for (const std::string& path : library.kept()) notice += "\r\n" + path;
      }
      if (ok)
        host_.dialogs().MessageBox(FormId::Main, std::string(kSuccessText) + folder + notice, kCaption,
                                   MsgIcon::Information, MsgButtons::Ok);
      else
        host_.dialogs().MessageBox(FormId::Main, std::string(kFailureText) + notice, kCaption,
                                   MsgIcon::Warning, MsgButtons::Ok);
    }
  }
  host_.SetInfo("");
  host_.ResumeReadouts();
}

}  // namespace tarvex::drop
