// The list, group, progress, tab and rich-text controls of the dialogs.
#pragma once
#include <string>
#include <vector>

#include "Controls.h"

class TGroupBox : public TWinControl {
public:
  explicit TGroupBox(TComponent* owner);
  const char* ClassName() const override { return "TGroupBox"; }
  // The system draws only the frame and the caption: the inside is filled
  // here, in the colour the box is drawn in.
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

protected:
  void CreateParams(TCreateParams& p) override;
};

// A group box of radio buttons, one per item.
class TRadioGroup : public TGroupBox {
public:
  explicit TRadioGroup(TComponent* owner);
  const char* ClassName() const override { return "TRadioGroup"; }
  const std::vector<std::string>& Items() const { return items_; }
  void SetItems(const std::vector<std::string>& items);
  int ItemIndex() const { return itemIndex_; }
  void SetItemIndex(int i);
  int Columns() const { return columns_; }
  void SetColumns(int v) { columns_ = v < 1 ? 1 : v; RebuildButtons(); }
  HWND ButtonHandle(int i) const { return i >= 0 && i < (int)buttons_.size() ? buttons_[i] : nullptr; }
  TNotifyEvent OnClick;
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
  void SetBounds(int left, int top, int width, int height) override;

protected:
  void CreateParams(TCreateParams& p) override {
    TGroupBox::CreateParams(p);
    p.ExStyle |= WS_EX_CONTROLPARENT;
  }
  void HandleCreated() override { RebuildButtons(); }
  // The buttons take the new font too: the old one is deleted.
  void FontChanged() override;

private:
  void RebuildButtons();
  std::vector<std::string> items_;
  std::vector<HWND> buttons_;
  int itemIndex_ = -1;
  int columns_ = 1;
};

class TListBox : public TWinControl {
public:
  explicit TListBox(TComponent* owner);
  const char* ClassName() const override { return "TListBox"; }
  const std::vector<std::string>& Items() const { return items_; }
  void SetItems(const std::vector<std::string>& items);
  void AddItem(const std::string& s);
  void Clear() { SetItems({}); }
  int ItemIndex() const { return itemIndex_; }
  void SetItemIndex(int i);
  bool Sorted() const { return sorted_; }
  void SetSorted(bool v) { sorted_ = v; SetItems(std::vector<std::string>(items_)); }
  int ItemHeight() const { return itemHeight_; }
  void SetItemHeight(int v);
  TNotifyEvent OnDblClick;

protected:
  void CreateParams(TCreateParams& p) override;
  void HandleCreated() override;
  void CommandNotify(WORD code) override;

private:
  std::vector<std::string> items_;
  int itemIndex_ = -1;
  int itemHeight_ = 0;  // 0: the font's
  bool sorted_ = false;
};

class TProgressBar : public TWinControl {
public:
  explicit TProgressBar(TComponent* owner);
  const char* ClassName() const override { return "TProgressBar"; }
  int Min() const { return min_; }
  int Max() const { return max_; }
  void SetMin(int v) { min_ = v; SyncRange(); }
  void SetMax(int v) { max_ = v; SyncRange(); }
  int Position() const { return position_; }
  void SetPosition(int v);
  int Step() const { return step_; }
  void SetStep(int v) { step_ = v; }
  void StepIt() { SetPosition(position_ + step_ > max_ ? min_ : position_ + step_); }

protected:
  void CreateParams(TCreateParams& p) override;
  void HandleCreated() override;

private:
  void SyncRange();
  int min_ = 0, max_ = 100, position_ = 0, step_ = 10;
};

class TTabControl : public TWinControl {
public:
  explicit TTabControl(TComponent* owner);
  const char* ClassName() const override { return "TTabControl"; }
  const std::vector<std::string>& Tabs() const { return tabs_; }
  void SetTabs(const std::vector<std::string>& tabs);
  int TabIndex() const { return tabIndex_; }
  // Changes the tab from code; raises neither OnChanging nor OnChange.
  void SetTabIndex(int i);
  TNotifyEvent OnChange;
  std::function<void(TComponent*, bool& allowChange)> OnChanging;

protected:
  void CreateParams(TCreateParams& p) override;
  void HandleCreated() override;
  LRESULT Notify(NMHDR* hdr) override;

private:
  std::vector<std::string> tabs_;
  int tabIndex_ = -1;
};

// RichEdit 2.0; RTF text is kept until the window exists and then streamed in.
class TRichEdit : public TWinControl {
public:
  explicit TRichEdit(TComponent* owner);
  const char* ClassName() const override { return "TRichEdit"; }
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool v);
  bool PlainText() const { return plainText_; }
  void SetPlainText(bool v) { plainText_ = v; }
  // A sunken client edge (the default) or none.
  void SetBorder(bool v) { border_ = v; }
  // Replaces the content with the document `text` (RTF unless PlainText).
  void LoadFromString(const std::string& text);
  void LoadFromFile(const std::string& path);
  std::string Text() override;

protected:
  void CreateParams(TCreateParams& p) override;
  void HandleCreated() override;

private:
  void StreamIn();
  std::string document_;
  bool readOnly_ = false;
  bool plainText_ = false;
  bool border_ = true;
};
