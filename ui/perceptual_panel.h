// The panel beside the form for what the form does not hold: the perceptual methods with
// their strength, and the best palettes for the picture. Every control drives the model.
#ifndef TVCPIX_UI_PERCEPTUAL_PANEL_H_
#define TVCPIX_UI_PERCEPTUAL_PANEL_H_

#include <QDockWidget>
#include <array>
#include <cstddef>
#include <vector>

#include "dither/method.h"
#include "dither/palette_search.h"

class QLabel;
class QPushButton;
class QRadioButton;
class QSlider;
class QWidget;

namespace tvcpix {

class Model;

class PerceptualPanel : public QDockWidget {
  Q_OBJECT

 public:
  static constexpr int kChoices = 3;

  explicit PerceptualPanel(Model* model, QWidget* parent = nullptr);

  // The three best palettes for the mode shown now, offered as buttons; nothing changes in
  // the model until one is clicked. Does nothing in Graphics 16.
  void FindBestPalettes();
  // Sets the swatches to offer n (0 = best) as clicks on them would: one undo step.
  void ApplyChoice(int n);
  int choice_count() const { return static_cast<int>(choices_.size()); }

 public slots:
  // Shows the model's method and strength; drops offers made for another picture or mode.
  void RefreshFromModel();

 signals:
  // The model converted: the windows repaint.
  void Converted();
  // A short notice for a status line.
  void StatusMessage(const QString& text);

 private:
  void SelectMethod(int method);
  void MoveStrength(int value);
  // What the offers were computed for; they are dropped when it changes.
  std::size_t OfferKey() const;

  Model* model_;
  std::array<QRadioButton*, kPerceptualMethodCount> methods_{};
  QWidget* strength_box_;
  QLabel* strength_label_;
  QSlider* strength_;
  QPushButton* find_;
  std::array<QPushButton*, kChoices> choice_buttons_{};
  std::vector<RankedPalette> choices_;
  std::size_t offer_key_ = 0;
};

}  // namespace tvcpix

#endif  // TVCPIX_UI_PERCEPTUAL_PANEL_H_
