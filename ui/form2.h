// The pattern editor window "TVC Pattern": the 120 swatches, "All On", "All Off", the count.
#ifndef TVCPIX_UI_FORM2_H_
#define TVCPIX_UI_FORM2_H_

#include <QWidget>

namespace tvcpix {

class Model;

class Form2 : public QWidget {
  Q_OBJECT

 public:
  explicit Form2(Model* model, QWidget* parent = nullptr);

 public slots:
  // Shows the model's swatch picture and count as they stand now.
  void RefreshFromModel();

 signals:
  // An edit here ran a conversion: the main window repaints its views.
  void Converted();

 private:
  Model* model_;
};

}  // namespace tvcpix

#endif  // TVCPIX_UI_FORM2_H_
