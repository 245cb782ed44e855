// The pattern editor window "TVC Pattern": the 120 swatches, "All On", "All Off", the count.
#include "ui/form2.h"

#include <QEvent>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QToolTip>

#include "engine/model.h"
#include "engine/pattern_editor.h"
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
  pic9_->installEventFilter(this);  // each swatch's tooltip names its two colours

  command6_ = new QPushButton("All On", this);
  command6_->setObjectName("Command6");
  command6_->setGeometry(248, 328, 73, 33);
  command6_->setToolTip("Switch every pattern on and clear the swap marks");
  connect(command6_, &QPushButton::clicked, this, &Form2::OnAllOn);

  command7_ = new QPushButton("All Off", this);
  command7_->setObjectName("Command7");
  command7_->setGeometry(248, 368, 73, 33);
  command7_->setToolTip("Switch every pattern off and clear the swap marks");
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
  label6_->setToolTip("How many patterns are on (counted at \"All On\", \"All Off\" and loading)");
  label7_->setToolTip(label6_->toolTip());

  RefreshFromModel();
}

bool Form2::eventFilter(QObject* watched, QEvent* event) {
  if (watched == pic9_ && event->type() == QEvent::ToolTip) {
    const QPoint at = static_cast<QHelpEvent*>(event)->pos();
    const std::optional<int> k = SwatchAt(model_->pic9(), at.x(), at.y());
    if (!k) {
      QToolTip::hideText();
      return true;
    }
    const bool off = model_->pattern_flags().excluded[static_cast<std::size_t>(*k)] == 1;
    QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(),
                       QString("Pattern %1: %2 (%3). Left click: switch %4; right click: swap "
                               "the colours")
                           .arg(*k)
                           .arg(QString::fromStdString(PatternColorNames(*k)), off ? "off" : "on",
                                off ? "on" : "off"),
                       pic9_);
    return true;
  }
  return QWidget::eventFilter(watched, event);
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
