// The pattern editor window "TVC Pattern": the 120 swatches, "All On", "All Off", the count.
#ifndef TVCPIX_UI_FORM2_H_
#define TVCPIX_UI_FORM2_H_

#include <QWidget>

class QLabel;
class QPushButton;

namespace tvcpix {

class Model;
class PictureView;

class Form2 : public QWidget {
  Q_OBJECT

 public:
  explicit Form2(Model* model, QWidget* parent = nullptr);

 public slots:
  // Shows the model's swatch picture and count as they stand now.
  void RefreshFromModel();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 signals:
  // An edit here ran a conversion: the main window repaints its views.
  void Converted();

 private:
  // Pic9_MouseDown: the model switches or swaps the pattern and converts.
  void OnSwatchPress(int button, int x, int y);
  // "All On" / "All Off": the model resets the flags, redraws, recounts and converts.
  void OnAllOn();
  void OnAllOff();

  Model* model_;
  PictureView* pic9_;
  QPushButton* command6_;
  QPushButton* command7_;
  QLabel* label6_;
  QLabel* label7_;
};

}  // namespace tvcpix

#endif  // TVCPIX_UI_FORM2_H_
