// The panel beside the form: perceptual methods, their strength, the best palettes.
#include "ui/perceptual_panel.h"

#include <QApplication>
#include <QColor>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStringList>
#include <QVBoxLayout>
#include <functional>
#include <string_view>

#include "core/mode.h"
#include "core/palette.h"
#include "core/surface.h"
#include "dither/method.h"
#include "dither/perceptual_methods.h"
#include "engine/model.h"

namespace tvcpix {
namespace {

constexpr int kPanelWidth = 150;  // with the form's 1197 it still fits a 1366-pixel screen

bool PaletteMode(TvcMode mode) { return mode != TvcMode::kGraphics16; }

// A row of the palette's colours, as the swatches will show them.
QPixmap SwatchStrip(const std::vector<int>& indices) {
  const int side = 16;
  QPixmap strip(side * static_cast<int>(indices.size()), side);
  QPainter painter(&strip);
  for (std::size_t i = 0; i < indices.size(); ++i) {
    const ColorValue c = ColorFromEntry(Tvc16Color(indices[i]));
    painter.fillRect(static_cast<int>(i) * side, 0, side, side,
                     QColor(RedOf(c), GreenOf(c), BlueOf(c)));
  }
  painter.setPen(Qt::darkGray);
  painter.drawRect(strip.rect().adjusted(0, 0, -1, -1));
  return strip;
}

QString IndexList(const std::vector<int>& indices) {
  QStringList parts;
  for (const int i : indices) parts << QString::number(i);
  return parts.join(',');
}

}  // namespace

PerceptualPanel::PerceptualPanel(Model* model, QWidget* parent)
    : QDockWidget("Perceptual", parent), model_(model) {
  setObjectName("PerceptualPanel");
  setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);
  auto* body = new QWidget(this);
  body->setFixedWidth(kPanelWidth);
  auto* column = new QVBoxLayout(body);
  column->setContentsMargins(4, 4, 4, 4);

  auto* methods = new QGroupBox("METHODS", body);
  methods->setObjectName("PerceptualMethods");
  methods->setToolTip("Methods beyond the seventeen of the form; they use the same palettes");
  auto* method_rows = new QVBoxLayout(methods);
  for (int i = 0; i < kPerceptualMethodCount; ++i) {
    const auto method = static_cast<DitherMethod>(kFirstPerceptualMethod + i);
    auto* option = new QRadioButton(MethodCaption(method), methods);
    option->setObjectName(QString("Method%1").arg(kFirstPerceptualMethod + i));
    option->setToolTip(MethodSummary(method));
    connect(option, &QRadioButton::toggled, this, [this, method](bool on) {
      if (on) SelectMethod(static_cast<int>(method));
    });
    method_rows->addWidget(option);
    methods_[static_cast<std::size_t>(i)] = option;
  }
  // Shown only while a perceptual method is selected: the faithful methods have no strength.
  strength_box_ = new QWidget(methods);
  strength_box_->setObjectName("StrengthBox");
  auto* strength_rows = new QVBoxLayout(strength_box_);
  strength_rows->setContentsMargins(0, 0, 0, 0);
  strength_label_ = new QLabel(strength_box_);
  strength_label_->setObjectName("StrengthLabel");
  strength_ = new QSlider(Qt::Horizontal, strength_box_);
  strength_->setObjectName("StrengthSlider");
  strength_->setRange(0, 100);
  strength_->setPageStep(10);
  strength_->setToolTip("How much of each pixel's error is passed on (0: nearest colour only)");
  connect(strength_, &QSlider::valueChanged, this, &PerceptualPanel::MoveStrength);
  strength_rows->addWidget(strength_label_);
  strength_rows->addWidget(strength_);
  method_rows->addWidget(strength_box_);
  column->addWidget(methods);

  auto* palettes = new QGroupBox("BEST PALETTE", body);
  palettes->setObjectName("BestPalettes");
  auto* palette_rows = new QVBoxLayout(palettes);
  find_ = new QPushButton("Find", palettes);
  find_->setObjectName("FindBestPalettes");
  find_->setToolTip("The palettes of the 16 colours that suit this picture and method best");
  connect(find_, &QPushButton::clicked, this, &PerceptualPanel::FindBestPalettes);
  palette_rows->addWidget(find_);
  for (int n = 0; n < kChoices; ++n) {
    auto* button = new QPushButton(palettes);
    button->setObjectName(QString("PaletteChoice%1").arg(n + 1));
    button->setIconSize(QSize(64, 16));
    button->hide();
    connect(button, &QPushButton::clicked, this, [this, n] { ApplyChoice(n); });
    palette_rows->addWidget(button);
    choice_buttons_[static_cast<std::size_t>(n)] = button;
  }
  column->addWidget(palettes);
  column->addStretch(1);
  setWidget(body);
  RefreshFromModel();
}

void PerceptualPanel::RefreshFromModel() {
  const DitherMethod method = model_->method();
  for (int i = 0; i < kPerceptualMethodCount; ++i) {
    QRadioButton* option = methods_[static_cast<std::size_t>(i)];
    const QSignalBlocker block(option);
    // A radio button checked alone cannot be unchecked while it is exclusive.
    option->setAutoExclusive(false);
    option->setChecked(static_cast<int>(method) == kFirstPerceptualMethod + i);
    option->setAutoExclusive(true);
  }
  const bool perceptual = IsPerceptualMethod(method);
  strength_box_->setVisible(perceptual);
  if (perceptual) {
    const bool own = model_->strength() == kDefaultStrength;
    const int value = own ? DefaultStrength(method, model_->mode()) : model_->strength();
    const QSignalBlocker block(strength_);
    strength_->setValue(value);
    strength_label_->setText(QString("Strength %1%2").arg(value).arg(own ? " (default)" : ""));
  }
  find_->setEnabled(PaletteMode(model_->mode()));
  if (!choices_.empty() && OfferKey() != offer_key_) choices_.clear();
  for (int n = 0; n < kChoices; ++n) {
    QPushButton* button = choice_buttons_[static_cast<std::size_t>(n)];
    if (n >= choice_count()) {
      button->hide();
      continue;
    }
    const RankedPalette& offer = choices_[static_cast<std::size_t>(n)];
    button->setIcon(SwatchStrip(offer.indices));
    button->setText(QString::number(offer.error, 'f', 1));
    button->setToolTip(QString("Colours %1 of the 16; error %2 (lower is better)")
                           .arg(IndexList(offer.indices))
                           .arg(offer.error, 0, 'f', 2));
    button->show();
  }
}

std::size_t PerceptualPanel::OfferKey() const {
  const Surface& work = model_->pic5();
  std::size_t key = std::hash<std::string_view>()(
      std::string_view(reinterpret_cast<const char*>(work.data()), work.size_bytes()));
  for (const int part : {static_cast<int>(model_->mode()), static_cast<int>(model_->method()),
                         model_->strength(), static_cast<int>(model_->resize())})
    key = key * 1000003u ^ static_cast<std::size_t>(part + 7);
  return key;
}

void PerceptualPanel::FindBestPalettes() {
  if (!PaletteMode(model_->mode())) {
    emit StatusMessage(
        "Graphics 16 shows the whole 16-colour table: there is no palette to choose");
    return;
  }
  QApplication::setOverrideCursor(Qt::WaitCursor);
  choices_ = model_->BestPalettes();
  QApplication::restoreOverrideCursor();
  offer_key_ = OfferKey();
  RefreshFromModel();
  emit StatusMessage(choices_.empty() ? QString("No palette found")
                                      : QString("Best palettes for %1: click one to use it")
                                            .arg(InfoOf(model_->mode()).caption));
}

void PerceptualPanel::ApplyChoice(int n) {
  if (n < 0 || n >= choice_count()) return;
  const std::vector<int> indices = choices_[static_cast<std::size_t>(n)].indices;
  model_->ApplyPalette(model_->mode(), indices);
  // The offers stay for this picture, so another one can be tried (and undone).
  offer_key_ = OfferKey();
  emit Converted();
  emit StatusMessage(QString("Palette %1 set (Edit > Undo takes it back)").arg(IndexList(indices)));
}

void PerceptualPanel::SelectMethod(int method) {
  model_->SelectMethod(static_cast<DitherMethod>(method));
  emit Converted();
}

void PerceptualPanel::MoveStrength(int value) {
  model_->SelectStrength(value);
  emit Converted();
}

}  // namespace tvcpix
