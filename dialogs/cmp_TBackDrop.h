// A panel painted with a two-colour gradient; one backdrop of a project can
// be the main one.
#pragma once
#include "Controls.h"

enum TDirection { bdUp, bdDown, bdLeft, bdRight, bdHorzIn, bdHorzOut, bdVertIn, bdVertOut };

class TBackdrop : public TCustomPanel {
public:
  explicit TBackdrop(TComponent* owner);
  ~TBackdrop() override;
  const char* ClassName() const override { return "TBackdrop"; }

  TDirection Direction() const { return direction_; }
  void SetDirection(TDirection v);
  TColor StartColor() const { return startColor_; }
  void SetStartColor(TColor v);
  TColor EndColor() const { return endColor_; }
  void SetEndColor(TColor v);
  // -1 makes this the main backdrop (and resets the previous one's Tag).
  void SetTag(long tag);

  void Assign(const TPersistent& source) override;
  void Paint(TCanvas& canvas) override;
  // Paints the gradient over a width x height area of the canvas.
  void PaintGradient(TCanvas& canvas, int width, int height) const;

  static TBackdrop* MainBackdrop();

private:
  void Repaint();
  TDirection direction_ = bdUp;
  TColor startColor_ = 16711680;
  TColor endColor_ = 0;
};

// Registers TBackdrop (and the controls it builds on) for streaming.
void RegisterBackdropClass();
