// Controls as Win32 windows: the control base, windowed controls with
// lazily created windows, alignment, graphic controls painted by their
// parent, and forms with a modal loop.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Classes.h"
#include "Graphics.h"

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

using TModalResult = int;
constexpr TModalResult mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4,
                       mrIgnore = 5, mrYes = 6, mrNo = 7, mrAll = 8, mrNoToAll = 9,
                       mrYesToAll = 10;

using TNotifyEvent = std::function<void(TComponent* sender)>;

class TWinControl;
class TForm;

class TControl : public TComponent {
public:
  explicit TControl(TComponent* owner);
  ~TControl() override;
  const char* ClassName() const override { return "TControl"; }

  TWinControl* Parent() const { return parent_; }
  virtual void SetParent(TWinControl* parent);
  // The stream reader's parent: the enclosing record's control.
  void SetParentComponent(TComponent* parent) override;

  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
  void SetTop(int v) { SetBounds(left_, v, width_, height_); }
  void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
  void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
  virtual void SetBounds(int left, int top, int width, int height);
  RECT BoundsRect() const { return RECT{left_, top_, left_ + width_, top_ + height_}; }
  virtual int ClientWidth() const { return width_; }
  virtual int ClientHeight() const { return height_; }

  TAlign Align() const { return align_; }
  void SetAlign(TAlign v);
  bool Visible() const { return visible_; }
  virtual void SetVisible(bool v);
  bool Enabled() const { return enabled_; }
  virtual void SetEnabled(bool v);
  const std::string& Caption() const { return caption_; }
  virtual void SetCaption(const std::string& v);
  TColor Color() const { return color_; }
  // Setting a colour of its own ends taking the parent's.
  void SetColor(TColor v) { color_ = v; parentColor_ = false; Invalidate(); }
  bool ParentColor() const { return parentColor_; }
  void SetParentColor(bool v) { parentColor_ = v; Invalidate(); }
  // The colour the control is drawn in: the parent's when it follows it.
  TColor EffectiveColor() const;
  TFont& Font() { return *font_; }
  bool ParentFont() const { return parentFont_; }
  void SetParentFont(bool v) { parentFont_ = v; if (v && parent_) CopyParentFont(); }
  void SetHint(const std::string& v) { hint_ = v; }
  const std::string& Hint() const { return hint_; }

  // The form this control is on (none when unparented).
  TForm* ParentForm() const;
  virtual void Invalidate();
  // Paints graphic controls on their parent's canvas; client coordinates.
  virtual void Paint(TCanvas& canvas) {}
  virtual bool IsWindowed() const { return false; }
  void Loaded() override;

  TNotifyEvent OnClick;

protected:
  friend class TWinControl;
  virtual void FontChanged() { Invalidate(); }
  void CopyParentFont();
  TWinControl* parent_ = nullptr;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  TAlign align_ = alNone;
  bool visible_ = true;
  bool enabled_ = true;
  bool parentFont_ = true;
  bool parentColor_ = false;
  std::string caption_;
  std::string hint_;
  TColor color_ = clBtnFace;
  std::unique_ptr<TFont> font_;
};

class TWinControl : public TControl {
public:
  explicit TWinControl(TComponent* owner);
  ~TWinControl() override;
  const char* ClassName() const override { return "TWinControl"; }
  bool IsWindowed() const override { return true; }

  int ControlCount() const { return static_cast<int>(controls_.size()); }
  TControl* Control(int i) const { return controls_.at(static_cast<size_t>(i)); }

  HWND Handle();  // creates the window (and the parents') when needed
  bool HandleAllocated() const { return hwnd_ != nullptr; }
  void DestroyHandle();

  void SetBounds(int left, int top, int width, int height) override;
  void SetVisible(bool v) override;
  void SetEnabled(bool v) override;
  void SetCaption(const std::string& v) override;
  void Invalidate() override;
  // The caption as the window holds it now (edits change it).
  virtual std::string Text();
  int TabOrder() const { return tabOrder_; }
  void SetTabOrder(int v) { tabOrder_ = v; }
  bool TabStop() const { return tabStop_; }
  void SetTabStop(bool v) { tabStop_ = v; }

  // Lays out the aligned children inside the client area.
  void Realign();
  // Paints the control's own surface (windows of our own class).
  void Paint(TCanvas& canvas) override;
  void SetFocus();

  // Dispatches a window message; the default handles painting, commands
  // and layout and then calls the original window procedure.
  virtual LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp);

  // The visible, enabled default (Enter) or cancel (Escape) button among
  // this control's children and theirs; none when there is none.
  virtual class TButton* FindDialogButton(bool defaultButton);

protected:
  friend class TControl;
  struct TCreateParams {
    const char* WinClass = nullptr;  // nullptr: this toolkit's own class
    DWORD Style = WS_CHILD | WS_CLIPSIBLINGS;
    DWORD ExStyle = 0;
    int X = 0, Y = 0, W = 0, H = 0;
    HWND Parent = nullptr;
  };
  virtual void CreateParams(TCreateParams& p);
  virtual void CreateWnd();
  // After the window exists: sets its font and any state kept until now.
  virtual void HandleCreated() {}
  // WM_COMMAND/WM_NOTIFY reflected from the parent.
  virtual void CommandNotify(WORD code) {}
  virtual LRESULT Notify(NMHDR* hdr) { return 0; }
  void FontChanged() override;
  void InsertControl(TControl* c);
  void RemoveControl(TControl* c);
  void UpdateWindowBounds();
  LRESULT DefaultProc(UINT msg, WPARAM wp, LPARAM lp);
  void PaintChildren(TCanvas& canvas, const RECT& clip);
  static LRESULT CALLBACK StaticWndProc(HWND h, UINT msg, WPARAM wp, LPARAM lp);
  static TWinControl* FromHandle(HWND h);

  HWND hwnd_ = nullptr;
  WNDPROC oldProc_ = nullptr;
  std::vector<TControl*> controls_;
  int tabOrder_ = 0;
  bool tabStop_ = false;
  bool aligning_ = false;
  TGdiObject brush_;
  friend class TForm;
};

// A control painted on its parent's surface (no window of its own).
class TGraphicControl : public TControl {
public:
  using TControl::TControl;
  const char* ClassName() const override { return "TGraphicControl"; }
};

enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };
enum TAlignment { taLeftJustify, taRightJustify, taCenter };

class TCustomPanel : public TWinControl {
public:
  explicit TCustomPanel(TComponent* owner);
  const char* ClassName() const override { return "TCustomPanel"; }
  TBevelCut BevelOuter() const { return bevelOuter_; }
  void SetBevelOuter(TBevelCut v) { bevelOuter_ = v; Invalidate(); }
  TBevelCut BevelInner() const { return bevelInner_; }
  void SetBevelInner(TBevelCut v) { bevelInner_ = v; Invalidate(); }
  int BorderWidth() const { return borderWidth_; }
  void SetBorderWidth(int v) { borderWidth_ = v; Realign(); Invalidate(); }
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment v) { alignment_ = v; Invalidate(); }
  void Paint(TCanvas& canvas) override;

protected:
  TBevelCut bevelOuter_ = bvRaised;
  TBevelCut bevelInner_ = bvNone;
  int borderWidth_ = 0;
  TAlignment alignment_ = taCenter;
};

class TPanel : public TCustomPanel {
public:
  using TCustomPanel::TCustomPanel;
  const char* ClassName() const override { return "TPanel"; }
};

// A text as a static control: readable through WM_GETTEXT, and an access
// key ("&Name") moves the focus to the control after it in tab order, which
// is FocusControl's when one is named.
class TLabel : public TWinControl {
public:
  explicit TLabel(TComponent* owner);
  const char* ClassName() const override { return "TLabel"; }
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool v) { autoSize_ = v; AdjustSize(); }
  // Drawn over whatever its parent paints beneath it (a gradient, a picture).
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool v) { transparent_ = v; Invalidate(); }
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool v);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment v);
  bool ShowAccelChar() const { return showAccelChar_; }
  void SetShowAccelChar(bool v);
  TWinControl* FocusControl() const { return focusControl_; }
  void SetFocusControl(TWinControl* c) { focusControl_ = c; }
  void SetCaption(const std::string& v) override;
  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;

protected:
  void CreateParams(TCreateParams& p) override;
  void CommandNotify(WORD code) override;

private:
  void AdjustSize();
  void Restyle();
  void FontChanged() override { TWinControl::FontChanged(); AdjustSize(); }
  bool autoSize_ = true;
  bool transparent_ = false;
  bool wordWrap_ = false;
  bool showAccelChar_ = true;
  TAlignment alignment_ = taLeftJustify;
  TWinControl* focusControl_ = nullptr;
};

class TImage : public TGraphicControl {
public:
  explicit TImage(TComponent* owner);
  const char* ClassName() const override { return "TImage"; }
  TPicture& Picture() { return picture_; }
  bool Stretch() const { return stretch_; }
  void SetStretch(bool v) { stretch_ = v; Invalidate(); }
  bool Center() const { return center_; }
  void SetCenter(bool v) { center_ = v; Invalidate(); }
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool v) { transparent_ = v; Invalidate(); }
  void Paint(TCanvas& canvas) override;

private:
  TPicture picture_;
  bool stretch_ = false;
  bool center_ = false;
  bool transparent_ = false;
};

enum TBevelShape { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer };
enum TBevelStyle { bsLowered, bsRaised };

class TBevel : public TGraphicControl {
public:
  using TGraphicControl::TGraphicControl;
  const char* ClassName() const override { return "TBevel"; }
  TBevelShape Shape() const { return shape_; }
  void SetShape(TBevelShape v) { shape_ = v; Invalidate(); }
  TBevelStyle Style() const { return style_; }
  void SetStyle(TBevelStyle v) { style_ = v; Invalidate(); }
  void Paint(TCanvas& canvas) override;

private:
  TBevelShape shape_ = bsBox;
  TBevelStyle style_ = bsLowered;
};

class TButton : public TWinControl {
public:
  explicit TButton(TComponent* owner);
  const char* ClassName() const override { return "TButton"; }
  TModalResult ModalResult() const { return modalResult_; }
  void SetModalResult(TModalResult v) { modalResult_ = v; }
  bool Default() const { return default_; }
  void SetDefault(bool v) { default_ = v; }
  bool Cancel() const { return cancel_; }
  void SetCancel(bool v) { cancel_ = v; }
  // Acts as a press of the button.
  virtual void Click();

protected:
  void CreateParams(TCreateParams& p) override;
  void CommandNotify(WORD code) override;
  TModalResult modalResult_ = mrNone;
  bool default_ = false;
  bool cancel_ = false;
};

enum TBitBtnKind { bkCustom, bkOK, bkCancel, bkHelp, bkYes, bkNo, bkClose, bkAbort, bkRetry, bkIgnore, bkAll };

// A push button with a kind that presets its modal result; glyphs are not drawn.
class TBitBtn : public TButton {
public:
  using TButton::TButton;
  const char* ClassName() const override { return "TBitBtn"; }
  TBitBtnKind Kind() const { return kind_; }
  void SetKind(TBitBtnKind k);

private:
  TBitBtnKind kind_ = bkCustom;
};

class TEdit : public TWinControl {
public:
  explicit TEdit(TComponent* owner);
  const char* ClassName() const override { return "TEdit"; }
  std::string Text() override;
  void SetText(const std::string& v) { SetCaption(v); }
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool v);
  TNotifyEvent OnChange;

protected:
  void CreateParams(TCreateParams& p) override;
  void CommandNotify(WORD code) override;
  bool readOnly_ = false;
};

enum TFormBorderStyle { bsNoneForm, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum TPosition { poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter,
                 poDesktopCenter, poMainFormCenter, poOwnerFormCenter };
enum TCloseAction { caNone, caHide, caFree, caMinimize };
enum TBorderIcon { biSystemMenu, biMinimize, biMaximize, biHelp };
using TCloseEvent = std::function<void(TComponent*, TCloseAction&)>;
using TAllowEvent = std::function<void(TComponent*, bool&)>;

class TForm : public TWinControl {
public:
  explicit TForm(TComponent* owner);
  ~TForm() override;
  const char* ClassName() const override { return "TForm"; }

  TFormBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TFormBorderStyle v);
  // Bits of TBorderIcon; without biSystemMenu the caption has no close box.
  unsigned BorderIcons() const { return borderIcons_; }
  void SetBorderIcons(unsigned v);
  TPosition Position() const { return position_; }
  void SetPosition(TPosition v) { position_ = v; }
  int ClientWidth() const override { return clientWidth_; }
  int ClientHeight() const override { return clientHeight_; }
  void SetClientWidth(int v);
  void SetClientHeight(int v);

  void Show();
  void Hide() { SetVisible(false); }
  // Shows the form modally (other windows of the thread disabled) until
  // ModalResult becomes non-zero or the form closes; returns it.
  TModalResult ShowModal();
  void Close();
  TModalResult ModalResult() const { return modalResult_; }
  void SetModalResult(TModalResult v) { modalResult_ = v; }
  bool IsModal() const { return modal_; }

  std::function<void(TComponent*)> OnCreate;
  std::function<void(TComponent*)> OnShow;
  std::function<void(TComponent*)> OnActivate;
  TCloseEvent OnClose;
  TAllowEvent OnCloseQuery;
  TNotifyEvent OnResize;
  // Runs first when the form is destroyed.
  TNotifyEvent OnDestroy;

  // Methods a stream's event identifiers name (OnCreate = FormCreate);
  // a form class defines its handlers before its stream is read.
  void DefineMethod(const std::string& name, TNotifyEvent method);
  void DefineMethod(const std::string& name, TCloseEvent method);
  void DefineMethod(const std::string& name, TAllowEvent method);
  // The method of that name (case-insensitive), or an empty function.
  TNotifyEvent MethodAddress(const std::string& name) const;
  TCloseEvent CloseMethodAddress(const std::string& name) const;
  TAllowEvent AllowMethodAddress(const std::string& name) const;

  // Runs OnCreate once loading is over.
  void Loaded() override;
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
  void SetVisible(bool v) override;
  void SetBounds(int left, int top, int width, int height) override;

protected:
  void CreateParams(TCreateParams& p) override;
  void HandleCreated() override;
  void ApplyPosition();
  // Runs OnDestroy once; derived forms call it before their members go.
  void DoDestroy();
  TFormBorderStyle borderStyle_ = bsSizeable;
  unsigned borderIcons_ = (1u << biSystemMenu) | (1u << biMinimize) | (1u << biMaximize);
  TPosition position_ = poDesigned;
  int clientWidth_ = 0, clientHeight_ = 0;
  TModalResult modalResult_ = mrNone;
  bool modal_ = false;
  bool closing_ = false;
  HWND focused_ = nullptr;  // the control that gets the focus on activation
  friend class TWinControl;
  struct TMethod {
    std::string Name;
    TNotifyEvent Notify;
    TCloseEvent Close;
    TAllowEvent Allow;
  };
  TMethod& MethodSlot(const std::string& name);
  const TMethod* FindMethod(const std::string& name) const;
  std::vector<TMethod> methods_;
};

// Pumps pending messages of the thread (used by long operations): a form's
// window gets its dialog keys (Enter, Escape, Tab) as in a modal loop, and
// WM_QUIT stays in the queue for the loop that ends on it. Returns whether
// WM_QUIT was seen.
bool ProcessMessages();

// Shows the hourglass while it lives; the previous cursor comes back afterwards.
class TWaitCursor {
public:
  TWaitCursor() : previous_(SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT)))) {}
  ~TWaitCursor() { SetCursor(previous_); }
  TWaitCursor(const TWaitCursor&) = delete;
  TWaitCursor& operator=(const TWaitCursor&) = delete;

private:
  HCURSOR previous_;
};
