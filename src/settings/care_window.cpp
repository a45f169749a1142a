// The settings window: created hidden on first use, opened modal below the
// main window with the readouts paused, OK applies the always-on-top choice
// as far as it can be applied at once.
#include "settings/care_window.h"

#include "shell/app_impl.h"
#include "ui/model_ops.h"

namespace tarvex {

namespace names = ui::names;

ui::Form& App::Impl::EnsureCare() {
  if (!care) {
    care = std::make_unique<ui::Form>(ui::MakeCareForm());
    p.CreateForm(FormId::Care);
    if (carriedActc) {
      // A window loaded again after an unload shows the choice the last one
      // held, so the next write of "Act" does not lose it.
      const int v = *carriedActc;
      carriedActc.reset();
      if (ui::Element* e = care->Find(names::kActc)) e->value = v;
      p.SetCheck(FormId::Care, names::kActc, v);
    }
  }
  return *care;
}

int App::Impl::ReadActc() {
  ui::Form& f = EnsureCare();
  if (!actcSettled) return startupAct;
  const ui::Element* e = f.Find(names::kActc);
  return e ? e->value : 0;
}

void App::Impl::SetActc(int value) {
  ui::Form& f = EnsureCare();
  // The program only ever stores 0 or 1; anything else counts as off.
  const int v = value == 1 ? 1 : 0;
  if (ui::Element* e = f.Find(names::kActc)) e->value = v;
  p.SetCheck(FormId::Care, names::kActc, v);
}

void App::Impl::b_rach_Click() {
  PauseReadouts();
  SetInfo(kInfoPaused);
  ui::Form& f = EnsureCare();
  SetTop(f, main.top + main.clientHeight);
  SetLeft(f, main.left);
  careShown = true;
  p.ShowModal(FormId::Care);
  careShown = false;
}

void App::Impl::Command1_Click() {
  if (!care) return;
  const ui::Element* actc = care->Find(names::kActc);
  if (actc && actc->value == 1) p.SetTopmost(FormId::Main);
  p.dialogs().MessageBox(FormId::Care, settings::kNextStartNotice, kCaption, MsgIcon::Information,
                         MsgButtons::Ok);
  if (!care) return;  // unloaded meanwhile (its unload already resumed)
  ResumeReadouts();
  SetInfo("");
  p.HideForm(FormId::Care);
  careShown = false;
}

void App::Impl::care_Form_Unload() {
  ResumeReadouts();
  SetInfo("");
}

void App::Impl::UnloadCare() {
  if (!care) return;
  if (!closing && actcSettled) {
    if (const ui::Element* e = care->Find(names::kActc)) carriedActc = e->value;
  }
  care_Form_Unload();
  care.reset();
  careShown = false;
  p.DestroyForm(FormId::Care);
}

}  // namespace tarvex
