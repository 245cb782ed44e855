// The pattern editor window "TVC Pattern": the 120 swatches, "All On", "All Off", the count.
#include "ui/form2.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPalette>
#include <QPushButton>

#include "engine/model.h"
#include "ui/surface_view.h"

namespace tvcpix {

Form2::Form2(Model* model, QWidget* parent) : QWidget(parent, Qt::Window), model_(model) {
  setObjectName("Form2");
  setWindowTitle("TVC Pattern");
  setFixedSize(333, 414);
  // The editor is a side window: closing the main window alone must end the program.
  setAttribute(Qt::WA_QuitOnClose, false);

  pic9_ = new PictureView(&model_->pic9(), this);
  pic9_->setObjectName("Pic9");
  pic9_->setGeometry(0, 0, Model::kSwatchPicSize, Model::kSwatchPicSize);
  connect(pic9_, &PictureView::MousePressed, this, &Form2::OnSwatchPress);

  command6_ = new QPushButton("All On", this);
  command6_->setObjectName("Command6");
  command6_->setGeometry(248, 328, 73, 33);
  connect(command6_, &QPushButton::clicked, this, &Form2::OnAllOn);

  command7_ = new QPushButton("All Off", this);
  command7_->setObjectName("Command7");
  command7_->setGeometry(248, 368, 73, 33);
  connect(command7_, &QPushButton::clicked, this, &Form2::OnAllOff);

  label6_ = new QLabel("used :", this);
  label6_->setObjectName("Label6");
  label6_->setGeometry(168, 368, 33, 17);

  // The design's labels are small; shrink the font until "used :" fits rather than clip it.
  QFont small = label6_->font();
  while (QFontMetrics(small).horizontalAdvance(label6_->text()) > label6_->width() &&
         small.pointSizeF() > 6) {
    small.setPointSizeF(small.pointSizeF() - 0.5);
  }
  label6_->setFont(small);

  label7_ = new QLabel(this);
  label7_->setFont(small);
  label7_->setObjectName("Label7");
  label7_->setGeometry(200, 368, 33, 17);
  label7_->setAutoFillBackground(true);
  QPalette white = label7_->palette();
  white.setColor(QPalette::Window, Qt::white);
  white.setColor(QPalette::WindowText, Qt::black);
  label7_->setPalette(white);

  RefreshFromModel();
}

void Form2::RefreshFromModel() {
  label7_->setText(QString::fromStdString(model_->patterns_used_caption()));
  pic9_->update();
}

void Form2::OnSwatchPress(int button, int x, int y) {
  const std::uint64_t before = model_->convert_count();
  model_->ClickSwatch(button, x, y);
  // A click beside the swatches changes nothing and runs no conversion.
  if (model_->convert_count() == before) return;
  // The count label stays as the last redraw left it: only RedrawEditor recounts.
  pic9_->update();
  emit Converted();
}

void Form2::OnAllOn() {
  model_->AllOn();
  RefreshFromModel();
  emit Converted();
}

void Form2::OnAllOff() {
  model_->AllOff();
  RefreshFromModel();
  emit Converted();
}

}  // namespace tvcpix
