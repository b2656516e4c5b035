// The modal window of a page stage: it hosts the stage's pages at its
// display panel, one in front at a time, and moves through them as a wizard.
#pragma once
#include <vector>

#include "ComCtrls.h"
#include "Controls.h"
#include "types_Tarnwick.h"

class TBaseInstallForm;

class TBaseFormContainer : public TForm {
public:
  // Streams the layout from the TBASEFORMCONTAINER resource.
  explicit TBaseFormContainer(TComponent* owner);
  ~TBaseFormContainer() override;
  const char* ClassName() const override { return "TBaseFormContainer"; }

  // Finishes the stage after the last shown page (modal result 1).
  virtual void NextPage();
  virtual bool PreviousPage();
  // Places the window by the dialog placement rule.
  virtual void PlaceOnScreen(TTarnwickDialogPosition position, int leftOffset, int topOffset);

  // Creates the pages of the running stage in Order; answers their number.
  int LoadPages();
  // Shows the page at index, passing over skipped pages in the direction
  // given; false when none is left that way.
  bool ShowPage(int index, bool backward);

  int PageCount() const { return static_cast<int>(pages_.size()); }
  TBaseInstallForm* Page(int i) const { return pages_.at(static_cast<std::size_t>(i)); }
  TBaseInstallForm* CurrentPage() const;
  bool Finished() const { return finished_; }
  TPanel* DisplayPanel() const { return displayPanel_; }
  TTabControl* Tabs() const { return tabs_; }
  // Enter and Escape go to the buttons of the page in front.
  TButton* FindDialogButton(bool defaultButton) override;

  void FormCreate(TComponent* sender);
  void FormShow(TComponent* sender);
  void FormClose(TComponent* sender, TCloseAction& action);
  void FormResize(TComponent* sender);
  void FormDestroy(TComponent* sender);
  void TabsChange(TComponent* sender);
  void TabsChanging(TComponent* sender, bool& allowChange);

private:
  std::vector<TBaseInstallForm*> pages_;
  TPanel* displayPanel_ = nullptr;
  TTabControl* tabs_ = nullptr;
  bool sizing_ = false;
  bool finished_ = false;
};
