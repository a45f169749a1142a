#include "extract/extraction_flow.h"

#include "shell/app_impl.h"
#include "ui/model_ops.h"

namespace tarvex {

namespace extract {

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

}  // namespace extract

void App::Impl::b_thaw_Click() {
  PauseReadouts();
  p.dialogs().MessageBox(FormId::Main, extract::kHelpText, kCaption, MsgIcon::Information,
                         MsgButtons::Ok);
  ResumeReadouts();
}

void App::Impl::b_thaw_OLEDragDrop(const std::vector<std::string>& paths, bool hasFileList) {
  PauseReadouts();
  // Data without a file (or with an empty list) has nothing to extract: it
  // is ignored before a folder is asked for.
  if (hasFileList && !paths.empty() && !paths.front().empty()) {
    const std::optional<std::string> picked =
        p.dialogs().BrowseForFolder(FormId::Main, extract::kPickerTitle);
    const std::string folder = picked.value_or(std::string());
    if (!folder.empty() && !closed) {
      SetInfo(kInfoExtracting);
      ui::SetText(p, main, "Text1", paths.front());
      bool ok = false;
      for (const auto& trial : extract::kArchiverTrials) {
        if (closed) break;  // the program was closed from a nested box
        const std::string cmd =
            extract::BuildArchiverCommand(trial.option, ui::TextOf(main, "Text1"), folder);
        int result = 1;
        try {
          result = p.CallArchiver(trial.which, cmd, trial.outputSize);
        } catch (...) {
          result = 1;  // an archiver that fails abnormally has failed
        }
        if (result == 0) {
          ok = true;
          break;
        }
      }
      if (closed)
        return;
      if (ok)
        p.dialogs().MessageBox(FormId::Main, std::string(extract::kSuccessText) + folder,
                               kCaption, MsgIcon::Information, MsgButtons::Ok);
      else
        p.dialogs().MessageBox(FormId::Main, extract::kFailureText, kCaption, MsgIcon::Warning,
                               MsgButtons::Ok);
    }
  }
  SetInfo("");
  ResumeReadouts();
}

}  // namespace tarvex
