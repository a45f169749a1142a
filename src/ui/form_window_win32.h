// The window of a form, realised from its element model: the borderless form
// window with one flat child window per picture box and its standard
// controls. The object owns its window and the children, its timers, their
// off-screen pictures and the mouse capture between a press and its release;
// the window procedure reaches it through GWLP_USERDATA. Window events go to the core's
// ui::FormEvents; windowless elements are hit-tested here so that each mouse
// event reaches the element under the pointer.
#pragma once

#include "ui/handles_win32.h"

#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "ui/convert_win32.h"
#include "ui/form_controls_win32.h"
#include "ui/form_paint_win32.h"
#include "ui/layer.h"
#include "ui/mouse_capture_win32.h"
#include "ui/paint_win32.h"
#include "ui/resources_win32.h"

namespace tarvex::win32 {

class FormWindow;

// A window that shows one container of a form: the form's client area
// (container "") or one of its picture boxes.
struct Surface {
  Surface(FormWindow& owner, std::string container) : owner(owner), container(std::move(container)) {}
  FormWindow& owner;
  const std::string container;
  HWND hwnd = nullptr;
  OffscreenBuffer buffer;
};

// The registered classes of form windows and picture boxes.
struct WindowClasses {
  WindowClass form, pictureBox;
  explicit operator bool() const { return form && pictureBox; }
};

class FormWindow {
 public:
  FormWindow(ui::FormEvents& events, Resources& resources, FormId id);
  // Destroys the window if it is still there.
  virtual ~FormWindow();
  FormWindow(const FormWindow&) = delete;
  FormWindow& operator=(const FormWindow&) = delete;

  static WindowClasses RegisterClasses(const Resources& resources);
  // The object of one of the program's form windows; nullptr for any other window.
  static FormWindow* FromHandle(HWND window);

  // Creates the window (owned by owner) and the child windows of its
  // elements, hidden, at the model's place. Returns the window, or nullptr.
  HWND Create(HWND owner);
  void Destroy();
  // Forgets the core: from now on no event of the window reaches it.
  void Detach() { events_ = nullptr; }

  HWND hwnd() const { return body_.hwnd; }
  FormId id() const { return id_; }
  ui::FormEvents* events() const { return events_; }
  // The form's model, or nullptr while it is not loaded (or after Detach).
  const ui::Form* Model() const { return events_ ? events_->Model(id_) : nullptr; }
  const Scale& scale() const { return scale_; }
  // The child window of an element (picture boxes, controls), or nullptr.
  HWND Child(std::string_view element) const;

  // The element's look, text or geometry changed.
  void Invalidate(std::string_view element);
  // Starts (enabled with an interval above 0) or stops a timer of the form;
  // a timer set before the window exists starts with it.
  void ChangeTimer(std::string_view timer, int interval, bool enabled);
  // Moves the window to a screen position on the core's request.
  void MoveTo(int leftPx, int topPx);
  // The system's move loop for the window; returns when it has ended.
  void DragWithMouse() { mouse_.Drag(hwnd()); }
  // The check box control of an element shows value (0, 1; 2 is grey).
  void SetCheck(std::string_view element, int value) { controls_.SetCheck(element, value); }

  // Shows the window (created first, owned by owner, if needed) with owner
  // disabled, and runs the message loop until it is hidden or destroyed.
  void ShowModal(HWND owner);
  // Hides the window; one shown modal gives its owner the input back first,
  // so that activation returns to the owner and not to another program.
  void Hide();

  // The element under a point of a surface: a windowless element of its
  // container, else the surface's own element ("" for the form's body).
  std::string TargetAt(const Surface& surface, POINT pt);
  // Whether the message loop routes dialog keys (Tab, Enter, Escape) to this
  // window: while it is shown with controls.
  bool WantsDialogKeys() const { return !controls_.empty() && hwnd() && IsWindowVisible(hwnd()); }

 protected:
  // After the window, its picture boxes and its controls exist.
  virtual void OnCreated() {}
  // The form's own messages, before the common handling; true when handled
  // (result is then returned).
  virtual bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);

 private:
  struct TimerState {
    UINT_PTR id = 0;
    int interval = 0;
    bool enabled = false;
  };

  static LRESULT CALLBACK FormProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK PictureBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  // Messages every surface takes alike; true when handled.
  bool SurfaceMessage(Surface& s, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
  void CreatePictureBox(HWND parent, const ui::Element& e);
  Surface* SurfaceOf(HWND window);
  void Compose(Surface& s, HDC dc, const RECT& area);
  bool SetHandCursor(Surface& s, LPARAM lParam);
  void DeliverDrop(Surface& s, HDROP drop);
  void ApplyTimer(const TimerState& t);
  void OnTimer(UINT_PTR id);
  void ReportMove();
  void OnDestroyed();

  ui::FormEvents* events_;
  Resources& resources_;
  const FormId id_;
  Scale scale_;
  ElementPainter painter_;
  Surface body_;
  // Picture boxes by element name. They stay until the window is created
  // again: a box's own handler may be running when the window is destroyed.
  std::map<std::string, std::unique_ptr<Surface>, std::less<>> boxes_;
  FormControls controls_;
  DrawnAreas drawn_;
  TickPainter tick_;
  MouseCapture mouse_;
  std::map<std::string, TimerState, std::less<>> timers_;
  bool coreMove_ = false;                 // a move requested by the core is running
  POINT knownPos_{INT32_MIN, INT32_MIN};  // last position the core knows of
  bool modal_ = false;                    // shown modal: ShowModal is running
  HWND modalOwner_ = nullptr;             // disabled meanwhile
};

}  // namespace tarvex::win32
