// The main window Form1: every control of the converter, placed as designed, and its handlers.
#include "ui/form1.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QShortcut>
#include <QSignalBlocker>
#include <QStandardPaths>
#include <QStyle>
#include <QTemporaryFile>
#include <QUrl>
#include <cstring>
#include <utility>

#include "core/version.h"
#include "dither/method.h"
#include "engine/input_file.h"
#include "engine/model.h"
#include "output/screen_decode.h"
#include "qtdecode/picture_file.h"
#include "ui/form2.h"
#include "ui/surface_view.h"

namespace tvcpix {
namespace {

constexpr ColorValue kFrameBlack = MakeColor(0, 0, 0);

QColor ToQColor(ColorValue c) { return QColor(RedOf(c), GreenOf(c), BlueOf(c)); }

// Paths go to the engine in the file system's own encoding.
std::string NativePath(const QString& path) { return QFile::encodeName(path).toStdString(); }

// A coloured label that raises Click like a button: left press and release over it, or Space
// or Enter while it has the keyboard focus (shown as a dotted frame).
class ClickLabel : public QLabel {
 public:
  ClickLabel(QWidget* parent, std::function<void()> on_click)
      : QLabel(parent), on_click_(std::move(on_click)) {
    setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus);
  }

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return ||
        event->key() == Qt::Key_Enter) {
      event->accept();
      on_click_();
      return;
    }
    QLabel::keyPressEvent(event);
  }
  void paintEvent(QPaintEvent* event) override {
    QLabel::paintEvent(event);
    if (!hasFocus()) return;
    QPainter painter(this);
    const QColor back = palette().color(QPalette::Window);
    painter.setPen(QPen(back.lightness() < 128 ? Qt::white : Qt::black, 1, Qt::DotLine));
    painter.drawRect(rect().adjusted(1, 1, -2, -2));
  }
  void mousePressEvent(QMouseEvent* event) override {
    // Accepting the press makes the release come back here.
    if (event->button() == Qt::LeftButton) {
      event->accept();
    } else {
      QLabel::mousePressEvent(event);
    }
  }
  void mouseReleaseEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
      event->accept();
      on_click_();
      return;
    }
    QLabel::mouseReleaseEvent(event);
  }

 private:
  std::function<void()> on_click_;
};

// The colour shows in every state: a disabled palette row keeps its colours.
void SetBackColor(QWidget* widget, ColorValue color) {
  QPalette pal = widget->palette();
  const QColor c = ToQColor(color);
  if (pal.color(QPalette::Window) == c) return;
  pal.setColor(QPalette::Window, c);
  widget->setPalette(pal);
}

// The design's sizes were made for a narrower font; a caption that would be cut off gets a
// smaller font instead, so every caption reads in full at its designed size.
void ShrinkToFit(QWidget* widget, const QString& text, int used_by_decoration) {
  QFont f = widget->font();
  while (f.pixelSize() > 8 &&
         QFontMetrics(f).horizontalAdvance(text) + used_by_decoration > widget->width()) {
    f.setPixelSize(f.pixelSize() - 1);
  }
  if (f != widget->font()) widget->setFont(f);
}

void FitRadio(QRadioButton* option) {
  const QStyle* style = option->style();
  ShrinkToFit(option, option->text(),
              style->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, option) +
                  style->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, option) + 1);
}

QGroupBox* MakeFrame(QWidget* parent, const char* name, const QString& caption, const QRect& rect) {
  auto* frame = new QGroupBox(caption, parent);
  frame->setObjectName(name);
  frame->setGeometry(rect);
  return frame;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& caption, const QRect& rect) {
  auto* label = new QLabel(caption, parent);
  label->setObjectName(name);
  label->setGeometry(rect);
  ShrinkToFit(label, caption, 2 * label->margin() + 1);
  return label;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption,
                        const QRect& rect) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  button->setGeometry(rect);
  return button;
}

QString Indexed(const char* name, int index) { return QString("%1(%2)").arg(name).arg(index); }

constexpr const char* kModeTips[3] = {
    "512 × 240 pixels in 2 colours: the two swatches beside the colour column",
    "256 × 240 pixels in 4 colours: the four swatches beside the colour column",
    "128 × 240 pixels in all 16 TVC colours",
};

constexpr const char* kMethodTips[kMethodCount + 1] = {
    "",
    "Atkinson error diffusion: passes on only 3/4 of each error; crisp, with lighter shadows",
    "Floyd–Steinberg error diffusion: the error to four neighbours; fine, even grain",
    "Nearest colour for each pixel, no dithering: flat areas and bands",
    "Random noise added before the nearest colour is taken: grainy, different on every run",
    "2 × 2 block halftone in the eight full-channel colours",
    "3 × 3 block halftone in the eight full-channel colours: coarser dots, more levels",
    "Ordered dithering with the 2 × 2 Bayer matrix: a regular pattern of few levels",
    "Ordered dithering with the 4 × 4 Bayer matrix: the familiar cross-hatch pattern",
    "Ordered dithering with the 8 × 8 Bayer matrix: the most levels of the ordered methods",
    "4 × 4 clustered-dot halftone, like newspaper print",
    "Sierra error diffusion over three rows: smooth gradients",
    "Burkes error diffusion over two rows: sharp and smooth",
    "Stucki error diffusion over three rows: smooth, with a clean grain",
    "Jarvis–Judice–Ninke error diffusion over three rows: the smoothest, coarser grain",
    "Sierra Lite error diffusion: the error to three neighbours; fine grain",
    "Two-row Sierra error diffusion: between Sierra Lite and Sierra",
    "Every colour drawn as a two-colour checkerboard of TVC colours (the patterns of the "
    "\"TVC Pattern\" window); in Graphics 16 a new picture keeps only the patterns it needs",
};

bool IsPictureName(const QString& name) {
  static const QStringList kSuffixes = {"jpg", "jpeg", "bmp", "png", "tim"};
  return kSuffixes.contains(QFileInfo(name).suffix(), Qt::CaseInsensitive);
}

// The one local picture file a drag carries, or an empty string.
QString DroppedPicture(const QMimeData* mime) {
  if (mime == nullptr || !mime->hasUrls() || mime->urls().size() != 1) return QString();
  const QUrl url = mime->urls().front();
  if (!url.isLocalFile()) return QString();
  const QString path = url.toLocalFile();
  return IsPictureName(path) ? path : QString();
}

bool CanWriteInto(const QString& folder) {
  if (folder.isEmpty() || !QFileInfo(folder).isDir()) return false;
  // Permission bits do not tell about read-only mounts; trying does.
  QTemporaryFile probe(QDir(folder).filePath(".tvcpix-probe-XXXXXX"));
  return probe.open();
}

}  // namespace

Form1::Form1(Model* model, Form2* editor, QWidget* parent)
    : QWidget(parent), model_(model), editor_(editor) {
  setObjectName("Form1");
  setWindowTitle(QString("tvcpix ") + kVersion);
  // No control follows a resize, so the window keeps its designed size.
  setFixedSize(kClientWidth, kClientHeight);
  QFont small = font();
  small.setPixelSize(11);
  setFont(small);

  program_folder_ = QCoreApplication::applicationDirPath();
  QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
  if (pictures.isEmpty()) pictures = QDir::homePath();
  fallback_folder_ = QDir(pictures).filePath("tvcpix");

  BuildViews();
  BuildFileList();
  BuildSliders();
  BuildButtons();
  BuildPalette();
  BuildOptions();
  BuildDisplays();
  BuildCaptions();
  BuildShortcuts();
  BuildTabOrder();
  setAcceptDrops(true);

  show_message = [this](QMessageBox::Icon icon, const QString& text) {
    QMessageBox box(icon, windowTitle(), text, QMessageBox::Ok, this);
    box.exec();
  };
  ask_yes_no = [this](const QString& text) {
    return QMessageBox::question(this, windowTitle(), text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
  };
  choose_folder = [this](const QString& current_folder) {
    return QFileDialog::getExistingDirectory(this, "Choose the picture folder", current_folder);
  };
  choose_save_path = [this](const QString& start_folder) {
    // The dialog's own overwrite question would ask about the typed name, not the three files
    // written from it; the check after the dialog does that.
    return QFileDialog::getSaveFileName(this, "Save As", start_folder, "BMP Files(*.bmp)", nullptr,
                                        QFileDialog::DontConfirmOverwrite);
  };

  // An edit in the pattern editor converted: the views here show the new result.
  if (editor_ != nullptr) connect(editor_, &Form2::Converted, this, &Form1::RefreshFromModel);

  SetFileListFolder(QDir::currentPath());
  RefreshFromModel();
}

// ---------------------------------------------------------------- layout

void Form1::BuildViews() {
  // The previews lie under the source view: they keep their pixels for the screen writers but
  // the user looks at the work picture here and at the result enlarged beside it.
  tvc2_ = new PictureView(&model_->tvc2(), this);
  tvc2_->setObjectName("TVC2");
  tvc2_->setGeometry(8, 8, 512, 240);
  tvc4_ = new PictureView(&model_->tvc4(), this);
  tvc4_->setObjectName("TVC4");
  tvc4_->setGeometry(8, 248, 256, 240);
  tvc16_ = new PictureView(&model_->tvc16(), this);
  tvc16_->setObjectName("TVC16");
  tvc16_->setGeometry(392, 248, 128, 240);

  pic5_ = new PictureView(&model_->pic5(), this);
  pic5_->setObjectName("Pic5");
  pic5_->setGeometry(8, 8, 512, 480);
  pic5_->raise();

  pic2_ = new PictureView(&model_->pic2(), this);
  pic2_->setObjectName("Pic2");
  pic2_->setGeometry(528, 8, 512, 480);
  pic2_->setMouseTracking(true);
  connect(pic2_, &PictureView::MouseMoved, this, &Form1::Pic2_MouseMove);
  connect(pic2_, &PictureView::MousePressed, this,
          [this](int button, int, int) { Pic2_MouseDown(button); });

  for (PictureView* preview : {tvc2_, tvc4_, tvc16_})
    preview->setToolTip("The result at the TVC's own resolution (under the work picture)");
  pic5_->setToolTip(
      "The work picture: the loaded picture scaled to the screen, with the tone sliders applied");
  pic2_->setToolTip(
      "The result as the TVC shows it. Left click: switch the pattern under the "
      "pointer off; right click: swap its colours; middle click: switch it on");
  picz_ = new PictureView(&model_->picz(), this);
  picz_->setObjectName("PicZ");
  picz_->setGeometry(608, 520, 120, 120);
  picz_->hide();
  piczz_ = new PictureView(&model_->piczz(), this);
  piczz_->setObjectName("PicZZ");
  piczz_->setGeometry(736, 520, 120, 120);
  piczz_->hide();
  picz_->setToolTip("The work picture round the pointer, 24 times enlarged");
  piczz_->setToolTip("The result round the pointer, 24 times enlarged");
}

void Form1::BuildFileList() {
  file2_ = new QListWidget(this);
  file2_->setObjectName("File2");
  file2_->setGeometry(8, 496, 137, 201);
  file2_->setSelectionMode(QAbstractItemView::SingleSelection);
  connect(file2_, &QListWidget::itemClicked, this, [this](QListWidgetItem*) { File2_Click(); });
  // Moving through the list with the keys loads each picture as a click would. Other moves of
  // the current entry (mouse press, focus, refresh) load nothing.
  file2_->installEventFilter(this);
  connect(file2_, &QListWidget::currentRowChanged, this, [this](int row) {
    if (row >= 0 && key_in_list_) File2_Click();
  });

  file2_->setToolTip("The pictures of the current folder: a click (or the arrow keys) loads one");
  auto* refresh = MakeButton(this, "Command5", "refresh", QRect(8, 704, 137, 25));
  refresh->setToolTip("Read the folder again (F5)");
  connect(refresh, &QPushButton::clicked, this, &Form1::Command5_Click);
}

void Form1::BuildSliders() {
  static constexpr const char* kFrames[4] = {"Frame6", "Frame7", "Frame8", "Frame9"};
  static constexpr const char* kCaptions[4] = {"Brightness", "Gamma", "Color", "Contrast"};
  static constexpr const char* kScrolls[4] = {"HScroll1", "HScroll2", "HScroll3", "HScroll4"};
  static constexpr const char* kTexts[4] = {"Text1", "Text2", "Text3", "Text4"};
  using Handler = void (Form1::*)(int);
  static constexpr Handler kHandlers[4] = {&Form1::HScroll1_Scroll, &Form1::HScroll2_Scroll,
                                           &Form1::HScroll3_Scroll, &Form1::HScroll4_Scroll};
  for (int i = 0; i < 4; ++i) {
    QGroupBox* frame = MakeFrame(this, kFrames[i], kCaptions[i], QRect(160, 520 + 40 * i, 281, 41));
    tone_frame_[i] = frame;
    auto* scroll = new QScrollBar(Qt::Horizontal, frame);
    scroll->setObjectName(kScrolls[i]);
    scroll->setGeometry(8, 16, 209, 17);
    scroll->setRange(0, 100);
    scroll->setPageStep(10);
    scroll->setSingleStep(1);
    // Qt's scroll bars invert the keys (Right would lower the value); a value slider must not.
    scroll->setInvertedControls(false);
    scroll->setFocusPolicy(Qt::StrongFocus);  // reached by Tab, moved by the arrow keys
    scroll->setValue(model_->slider(i + 1));
    // valueChanged covers dragging (with tracking on), arrows, track clicks and keys, once
    // per change; values set from the model are written with signals blocked.
    connect(scroll, &QScrollBar::valueChanged, this, kHandlers[i]);
    hscroll_[i] = scroll;

    auto* text = new QLineEdit(frame);
    text->setObjectName(kTexts[i]);
    text->setGeometry(232, 16, 33, 19);
    text->setReadOnly(true);
    text->setAcceptDrops(false);  // a dropped picture goes to the window
    text->setEnabled(false);
    // Display only, but the value must stay easy to read.
    QPalette pal = text->palette();
    pal.setColor(QPalette::Disabled, QPalette::Text, pal.color(QPalette::Active, QPalette::Text));
    text->setPalette(pal);
    text->setText(QString::fromStdString(model_->slider_text(i + 1)));
    text_[i] = text;
  }
  RefreshSliders();
}

void Form1::BuildButtons() {
  auto* set = MakeButton(this, "Command6", "Set", QRect(448, 528, 73, 33));
  set->setToolTip(
      "Make the adjusted work picture the new source: later slider moves start from it");
  connect(set, &QPushButton::clicked, this, &Form1::Command6_Click);
  auto* save = MakeButton(this, "Command3", "Save", QRect(528, 528, 73, 33));
  save->setToolTip("Write out24.bmp, out24.bin and out24.tim into the program's folder (Ctrl+S)");
  connect(save, &QPushButton::clicked, this, &Form1::Command3_Click);
  auto* save_as = MakeButton(this, "Command7", "Save As", QRect(528, 568, 73, 33));
  save_as->setToolTip("Write the .bmp, .bin and .tim files under a name you choose (Ctrl+Shift+S)");
  connect(save_as, &QPushButton::clicked, this, &Form1::Command7_Click);
}

void Form1::BuildPalette() {
  QGroupBox* frame3 = MakeFrame(this, "Frame3", "Color Palette", QRect(1048, 8, 145, 289));
  for (int i = 0; i < 16; ++i) {
    auto* swatch = new ClickLabel(frame3, [this, i] { Label1_Click(i); });
    swatch->setObjectName(Indexed("Label1", i));
    swatch->setGeometry(8, 16 + 16 * i, 57, 17);
    swatch->setToolTip(QString("TVC colour %1: pick it for the 2- or 4-colour palette").arg(i));
    label1_[static_cast<std::size_t>(i)] = swatch;
  }
  frame4_ = MakeFrame(frame3, "Frame4", QString(), QRect(80, 32, 57, 81));
  for (int i = 0; i < 4; ++i) {
    auto* swatch = new ClickLabel(frame4_, [this, i] { Label2_Click(i); });
    swatch->setObjectName(Indexed("Label2", i));
    swatch->setGeometry(0, 8 + 16 * i, 57, 17);
    swatch->setToolTip(QString("Colour %1 of the Graphics 4 palette: a click puts the picked "
                               "colour here")
                           .arg(i + 1));
    label2_[static_cast<std::size_t>(i)] = swatch;
  }
  frame5_ = MakeFrame(frame3, "Frame5", QString(), QRect(80, 152, 57, 49));
  for (int i = 0; i < 2; ++i) {
    auto* swatch = new ClickLabel(frame5_, [this, i] { Label3_Click(i); });
    swatch->setObjectName(Indexed("Label3", i));
    swatch->setGeometry(0, 8 + 16 * i, 57, 17);
    swatch->setToolTip(QString("Colour %1 of the Graphics 2 palette: a click puts the picked "
                               "colour here")
                           .arg(i + 1));
    label3_[static_cast<std::size_t>(i)] = swatch;
  }
  label4_ = new QLabel(frame3);
  label4_->setObjectName("Label4");
  label4_->setGeometry(80, 256, 57, 17);
  label4_->setAutoFillBackground(true);
  label4_->setToolTip("The colour picked last among the 16");
  frame3->setToolTip("Pick one of the 16 TVC colours on the left, then click a palette swatch");
  frame4_->setToolTip("The Graphics 4 palette (editable in Graphics 4)");
  frame5_->setToolTip("The Graphics 2 palette (editable in Graphics 2)");
}

void Form1::BuildOptions() {
  QGroupBox* frame2 = MakeFrame(this, "Frame2", "TVC MODE", QRect(1048, 304, 145, 81));
  frame2->setToolTip("The TVC graphics mode of the result");
  for (int i = 0; i < 3; ++i) {
    auto* option = new QRadioButton(InfoOf(static_cast<TvcMode>(i)).caption, frame2);
    option->setObjectName(Indexed("Option2", i));
    option->setGeometry(8, 24 + 16 * i, 81, 17);
    option->setToolTip(kModeTips[i]);
    FitRadio(option);
    connect(option, &QRadioButton::toggled, this, [this, i](bool on) {
      if (on) Option2_Click(i);
    });
    option2_[static_cast<std::size_t>(i)] = option;
  }
  QGroupBox* frame1 = MakeFrame(this, "Frame1", "DITHER MODE", QRect(1048, 392, 145, 337));
  frame1->setToolTip("How colours the mode lacks are mixed from the ones it has");
  for (int i = 1; i <= kMethodCount; ++i) {
    auto* option = new QRadioButton(MethodCaption(static_cast<DitherMethod>(i)), frame1);
    option->setObjectName(Indexed("Option1", i));
    const int y = i <= 16 ? 24 + 16 * (i - 1) : 288;
    option->setGeometry(16, y, 121, 17);
    option->setToolTip(kMethodTips[i]);
    FitRadio(option);
    connect(option, &QRadioButton::toggled, this, [this, i](bool on) {
      if (on) Option1_Click(i);
    });
    option1_[static_cast<std::size_t>(i)] = option;
  }
}

void Form1::BuildDisplays() {
  const QString source_count = "The number of colours in the picture as loaded";
  const QString result_count = "The number of colours in the result";
  MakeLabel(this, "Label5", "Colors Used:", QRect(168, 496, 65, 17))->setToolTip(source_count);
  label6_ = MakeLabel(this, "Label6", "0", QRect(240, 496, 73, 17));
  label6_->setToolTip(source_count);
  MakeLabel(this, "Label8", "Colors Used:", QRect(528, 496, 65, 17))->setToolTip(result_count);
  label7_ = MakeLabel(this, "Label7", "0", QRect(600, 496, 73, 17));
  label7_->setToolTip(result_count);
  MakeLabel(this, "Label13", "bmp, bin, tim", QRect(528, 608, 73, 17))
      ->setToolTip(
          "A save writes these three files: the picture, the screen, the screen with header");

  static constexpr QRect kShapes[5] = {QRect(864, 504, 33, 33), QRect(912, 504, 17, 17),
                                       QRect(928, 504, 17, 17), QRect(912, 520, 17, 17),
                                       QRect(928, 520, 17, 17)};
  for (int i = 0; i < 5; ++i) {
    auto* shape = new QFrame(this);
    shape->setObjectName(QString("Shape%1").arg(i + 1));
    shape->setGeometry(kShapes[i]);
    shape->setFrameShape(QFrame::Box);
    shape->setFrameShadow(QFrame::Plain);
    shape->setLineWidth(1);
    shape->setAutoFillBackground(true);
    QPalette pal = shape->palette();
    pal.setColor(QPalette::WindowText, ToQColor(kFrameBlack));
    shape->setPalette(pal);
    shape->setToolTip(i == 0
                          ? "The work picture's colour under the pointer"
                          : "The two colours of the pattern the colour under the pointer matches");
    shape_[static_cast<std::size_t>(i)] = shape;
  }
  label9_ = MakeLabel(this, "Label9", "0", QRect(912, 544, 33, 17));
  label9_->setToolTip(
      "The number of the palette entry (or pattern) the colour under the pointer matches");
}

void Form1::BuildCaptions() {
  // Captions for the groups the design leaves unnamed, placed where no control is.
  QFont small = font();
  small.setPixelSize(9);
  auto caption = [&](QWidget* parent, const char* name, const QString& text, const QRect& rect) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setGeometry(rect);
    label->setFont(small);
    QPalette quiet = label->palette();  // quieter than the form's own captions
    quiet.setColor(QPalette::WindowText, QColor(96, 96, 96));
    label->setPalette(quiet);
    return label;
  };
  QWidget* frame3 = frame4_->parentWidget();
  caption(frame3, "Caption4", "4 colours", QRect(82, 17, 55, 14));
  caption(frame3, "Caption5", "2 colours", QRect(82, 137, 55, 14));
  caption(frame3, "CaptionPick", "picked", QRect(82, 241, 55, 14));
  caption(this, "CaptionProbe", "under the pointer:", QRect(864, 490, 176, 13));
  caption(this, "CaptionSource", "source", QRect(864, 540, 40, 13));
  caption(this, "CaptionPattern", "pattern", QRect(950, 512, 60, 13));
  caption(this, "CaptionNumber", "number", QRect(950, 546, 60, 13));
  magnifier_ = {picz_, piczz_, caption(this, "CaptionZ", "source × 24", QRect(608, 644, 120, 13)),
                caption(this, "CaptionZZ", "result × 24", QRect(736, 644, 120, 13))};
  for (QWidget* w : magnifier_) w->hide();
}

void Form1::BuildShortcuts() {
  const struct {
    QKeySequence keys;
    void (Form1::*handler)();
  } kShortcuts[] = {
      {QKeySequence(Qt::CTRL | Qt::Key_S), &Form1::Command3_Click},
      {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), &Form1::Command7_Click},
      {QKeySequence(Qt::CTRL | Qt::Key_O), &Form1::ChooseFolder},
      {QKeySequence(Qt::Key_F5), &Form1::Command5_Click},
  };
  for (const auto& s : kShortcuts) {
    auto* shortcut = new QShortcut(s.keys, this);
    connect(shortcut, &QShortcut::activated, this, s.handler);
    shortcuts_.push_back(shortcut);
  }
}

void Form1::BuildTabOrder() {
  // File list, sliders, buttons, options, then the swatches, as the eye goes.
  std::vector<QWidget*> order = {file2_, findChild<QWidget*>("Command5")};
  for (QScrollBar* bar : hscroll_) order.push_back(bar);
  for (const char* name : {"Command6", "Command3", "Command7"})
    order.push_back(findChild<QWidget*>(name));
  for (QRadioButton* option : option2_) order.push_back(option);
  for (int i = 1; i <= kMethodCount; ++i) order.push_back(option1_[static_cast<std::size_t>(i)]);
  for (QLabel* swatch : label1_) order.push_back(swatch);
  for (QLabel* swatch : label2_) order.push_back(swatch);
  for (QLabel* swatch : label3_) order.push_back(swatch);
  for (std::size_t i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}

void Form1::SetShortcutsEnabled(bool on) {
  for (QShortcut* shortcut : shortcuts_) shortcut->setEnabled(on);
}

void Form1::SetMagnifierVisible(bool on) {
  for (QWidget* w : magnifier_) w->setVisible(on);
}

bool Form1::magnifier_visible() const { return !picz_->isHidden(); }

QString Form1::CurrentOutputBase() const {
  const QString base = QString::fromStdString(model_->output_base_path());
  if (base != "Label12") return QFile::decodeName(model_->output_base_path().c_str());
  return QDir(SaveFolder()).filePath("out24");
}

// ---------------------------------------------------------------- refresh

void Form1::RefreshFromModel() {
  for (PictureView* view : {pic5_, pic2_, tvc2_, tvc4_, tvc16_}) view->update();
  RefreshSliders();
  for (int i = 0; i < 16; ++i)
    SetBackColor(label1_[static_cast<std::size_t>(i)], model_->label1(i));
  for (int i = 0; i < 4; ++i) SetBackColor(label2_[static_cast<std::size_t>(i)], model_->label2(i));
  for (int i = 0; i < 2; ++i) SetBackColor(label3_[static_cast<std::size_t>(i)], model_->label3(i));
  SetBackColor(label4_, model_->label4());
  frame4_->setEnabled(model_->frame4_enabled());
  frame5_->setEnabled(model_->frame5_enabled());

  for (int i = 0; i < 3; ++i) {
    QRadioButton* option = option2_[static_cast<std::size_t>(i)];
    const QSignalBlocker block(option);
    option->setChecked(static_cast<int>(model_->mode()) == i);
  }
  for (int i = 1; i <= kMethodCount; ++i) {
    QRadioButton* option = option1_[static_cast<std::size_t>(i)];
    const QSignalBlocker block(option);
    // With a method from beside the form none of these is checked, which an exclusive
    // radio button would refuse.
    option->setAutoExclusive(false);
    option->setChecked(static_cast<int>(model_->method()) == i);
    option->setAutoExclusive(true);
  }

  label6_->setText(QString::fromStdString(model_->source_colors_caption()));
  label7_->setText(QString::fromStdString(model_->result_colors_caption()));
  RefreshProbe();
  emit ModelChanged();
}

void Form1::RefreshSliders() {
  static constexpr const char* kNames[4] = {"Brightness", "Gamma", "Color", "Contrast"};
  QString acting;  // the slider whose filter is in the work picture now
  for (int n = 1; n <= 4; ++n)
    if (model_->tone_state(n) == ToneState::kLive)
      acting += QString(acting.isEmpty() ? "" : ", ") + kNames[n - 1];
  for (int i = 0; i < 4; ++i) {
    const std::size_t k = static_cast<std::size_t>(i);
    {
      const QSignalBlocker block(hscroll_[k]);
      hscroll_[k]->setValue(model_->slider(i + 1));
    }
    QLineEdit* text = text_[k];
    text->setText(QString::fromStdString(model_->slider_text(i + 1)));
    // A value whose effect a later move of another slider threw away is shown dimmed.
    const ToneState state = model_->tone_state(i + 1);
    QPalette pal = text->palette();
    const QColor active = pal.color(QPalette::Active, QPalette::Text);
    pal.setColor(QPalette::Disabled, QPalette::Text,
                 state == ToneState::kDiscarded
                     ? pal.color(QPalette::Disabled, QPalette::WindowText).lighter(130)
                     : active);
    if (pal != text->palette()) text->setPalette(pal);
    QString tip = QString("%1 of the work picture (50: unchanged%2)")
                      .arg(kNames[i], i == 1 ? ", but Gamma 50 lightens slightly" : "");
    if (state == ToneState::kDiscarded) {
      tip = QString(
                "%1 %2 does not act now: moving %3 rebuilt the work picture from the source "
                "without it. Only the slider moved last acts, unless \"Set\" made the "
                "earlier one permanent first (or View > Combine Tone Sliders is on).")
                .arg(kNames[i], text->text(), acting.isEmpty() ? "another slider" : acting);
    } else if (state == ToneState::kSet) {
      tip = QString("%1 %2 is part of the source since \"Set\"").arg(kNames[i], text->text());
    }
    for (QWidget* w :
         {static_cast<QWidget*>(hscroll_[k]), static_cast<QWidget*>(text), tone_frame_[k]})
      w->setToolTip(tip);
  }
}

void Form1::RefreshProbe() {
  for (int i = 0; i < 5; ++i)
    SetBackColor(shape_[static_cast<std::size_t>(i)], model_->shape(i + 1));
  label9_->setText(QString::fromStdString(model_->probe_caption()));
  picz_->update();
  piczz_->update();
}

void Form1::RefreshEditor() {
  if (editor_ != nullptr) editor_->RefreshFromModel();
}

// ---------------------------------------------------------------- file list

void Form1::SetFileListFolder(const QString& folder) {
  folder_ = QDir(folder).absolutePath();
  // Picture names are joined to the list's folder, but the current directory stays with it.
  QDir::setCurrent(folder_);
  Command5_Click();
}

void Form1::Command5_Click() {
  // Saved screens (".tim") are listed too, so that one can be loaded back and reworked.
  static const QStringList kFilters = {"*.jpg", "*.bmp", "*.jpeg", "*.png", "*.tim"};
  const QStringList names =
      QDir(folder_).entryList(kFilters, QDir::Files, QDir::Name | QDir::IgnoreCase);
  file2_->clear();
  file2_->addItems(names);
}

void Form1::File2_Click() {
  const QListWidgetItem* item = file2_->currentItem();
  if (item == nullptr) return;
  LoadPictureFile(QDir(folder_).filePath(item->text()));
}

bool Form1::LoadPictureFile(const QString& path) {
  InputFile opened;
  const Result decoded = OpenInputFile(NativePath(path), DecodeWithQt, &opened);
  if (!decoded.ok) {
    show_message(QMessageBox::Warning, QString::fromStdString(decoded.message));
    return false;
  }
  const QString absolute = QFileInfo(path).absoluteFilePath();
  model_->LoadSourcePicture(std::move(opened.picture), NativePath(absolute));
  RefreshFromModel();
  RefreshEditor();
  emit PictureLoaded(absolute);
  return true;
}

bool Form1::LoadDroppedFile(const QString& path) {
  const QFileInfo info(path);
  if (!LoadPictureFile(info.absoluteFilePath())) return false;
  SetFileListFolder(info.absolutePath());
  const QList<QListWidgetItem*> items = file2_->findItems(info.fileName(), Qt::MatchExactly);
  if (!items.isEmpty()) file2_->setCurrentItem(items.front());
  return true;
}

void Form1::ChooseFolder() {
  const QString folder = choose_folder(folder_);
  if (!folder.isEmpty()) SetFileListFolder(folder);
}

void Form1::dragEnterEvent(QDragEnterEvent* event) {
  if (!DroppedPicture(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void Form1::dropEvent(QDropEvent* event) {
  const QString path = DroppedPicture(event->mimeData());
  if (path.isEmpty()) return;
  event->acceptProposedAction();
  LoadDroppedFile(path);
}

// ---------------------------------------------------------------- handlers

void Form1::Command6_Click() {
  model_->Set();
  RefreshFromModel();
  QStringList set;
  static constexpr const char* kNames[4] = {"Brightness", "Gamma", "Color", "Contrast"};
  for (const ToneStep& t : model_->ToneRecipe())
    set << QString("%1 %2").arg(kNames[t.slider - 1]).arg(t.value);
  emit StatusMessage(
      set.isEmpty()
          ? QString("Set: the work picture is the source now (no tone change)")
          : QString("Set: the work picture is the source now; it holds %1").arg(set.join(", ")));
}

void Form1::HScrollScroll(int n, int value) {
  model_->MoveSlider(n, value);
  // The text box shows the value at once, even while the conversion keeps the loop busy.
  QLineEdit* text = text_[static_cast<std::size_t>(n - 1)];
  text->setText(QString::fromStdString(model_->slider_text(n)));
  text->repaint();
  RefreshFromModel();
}

void Form1::Label1_Click(int index) {
  model_->PickColor(index);
  SetBackColor(label4_, model_->label4());
}

void Form1::Label2_Click(int index) {
  if (!model_->frame4_enabled()) return;
  model_->AssignColor4(index);
  RefreshFromModel();
}

void Form1::Label3_Click(int index) {
  if (!model_->frame5_enabled()) return;
  model_->AssignColor2(index);
  RefreshFromModel();
}

void Form1::Option1_Click(int index) {
  model_->SelectMethod(static_cast<DitherMethod>(index));
  RefreshFromModel();
}

void Form1::Option2_Click(int index) {
  // The model converts first and then decides which palette row is editable.
  model_->SelectMode(static_cast<TvcMode>(index));
  RefreshFromModel();
}

void Form1::Pic2_MouseMove(int x, int y) {
  model_->ProbeMove(x, y);
  RefreshProbe();
  emit ProbeMoved(x, y);
}

void Form1::Pic2_MouseDown(int button) {
  model_->ProbeClick(button);
  RefreshFromModel();
  RefreshEditor();
}

// ---------------------------------------------------------------- saving

QString Form1::SaveFolder(bool* fallback) const {
  const bool use_program = CanWriteInto(program_folder_);
  if (fallback != nullptr) *fallback = !use_program;
  if (use_program) return QDir(program_folder_).absolutePath();
  // A failure to create it shows up as the save's own error.
  QDir().mkpath(fallback_folder_);
  return QDir(fallback_folder_).absolutePath();
}

bool Form1::FinishSave(const Result& result, const QString& folder) {
  RefreshFromModel();
  if (!result.ok) {
    const int errnum = result.errnum != 0 ? result.errnum : Result::kNoErrno;
    QString description = errnum != Result::kNoErrno ? QString::fromLocal8Bit(std::strerror(errnum))
                                                     : QString::fromStdString(result.message);
    QString text = QString("Error #%1 - %2").arg(errnum).arg(description);
    // The engine's message names the file that failed.
    if (!result.message.empty() && QString::fromStdString(result.message) != description) {
      text += "\n" + QString::fromStdString(result.message);
    }
    show_message(QMessageBox::Critical, text);
    return false;
  }
  SetFileListFolder(folder);
  return true;
}

void Form1::Command3_Click() {
  bool fallback = false;
  const QString folder = SaveFolder(&fallback);
  const Result result = model_->Save(NativePath(folder));
  if (!FinishSave(result, folder)) return;
  const QString base = QString::fromStdString(model_->output_base_path());
  const QString where = QString("%1.bmp, %1.bin and %1.tim saved in %2")
                            .arg(QFileInfo(base).fileName(), QDir::toNativeSeparators(folder));
  if (fallback && !fallback_noticed_) {
    // Said once; every later save says it in the status line only.
    fallback_noticed_ = true;
    show_message(QMessageBox::Information,
                 QString("The program's folder %1 cannot be written, so the files were saved in "
                         "%2:\n%3.bmp, %3.bin, %3.tim")
                     .arg(QDir::toNativeSeparators(program_folder_),
                          QDir::toNativeSeparators(folder), QFileInfo(base).fileName()));
  }
  emit StatusMessage(fallback ? where + " (the program's folder cannot be written)" : where);
}

void Form1::Command7_Click() {
  // The dialog starts beside the picture, with its name suggested.
  QString start = SaveFolder();
  if (!model_->source_path().empty()) {
    const QFileInfo source(QFile::decodeName(model_->source_path().c_str()));
    start = source.dir().filePath(source.completeBaseName());
  }
  const QString chosen = choose_save_path(start);
  if (chosen.isEmpty()) return;  // cancelled: nothing written, nothing shown
  // The three suffixes are added to the base, so a typed one is taken off first.
  const QString path = QFile::decodeName(Model::OutputBaseFor(NativePath(chosen)).c_str());
  const std::string over = model_->OutputOverSource(NativePath(path));
  if (!over.empty()) {
    show_message(QMessageBox::Warning,
                 QString("%1 is the picture being converted; saving would replace it.\n"
                         "Choose another name: nothing was written.")
                     .arg(QDir::toNativeSeparators(QFile::decodeName(over.c_str()))));
    return;
  }
  QStringList existing;
  for (const char* ext : {".bmp", ".bin", ".tim"}) {
    if (QFileInfo::exists(path + ext)) existing << QFileInfo(path + ext).fileName();
  }
  if (!existing.isEmpty() &&
      !ask_yes_no(QString("%1 already exist%2 in %3.\nDo you want to replace %4?")
                      .arg(existing.join(", "), existing.size() == 1 ? "s" : "",
                           QDir::toNativeSeparators(QFileInfo(path).absolutePath()),
                           existing.size() == 1 ? "it" : "them"))) {
    return;
  }
  const Result result = model_->SaveAs(NativePath(path));
  if (FinishSave(result, QFileInfo(path).absolutePath())) {
    emit StatusMessage(QString("%1.bmp, %1.bin and %1.tim saved in %2")
                           .arg(QFileInfo(path).fileName(),
                                QDir::toNativeSeparators(QFileInfo(path).absolutePath())));
  }
}

// ---------------------------------------------------------------- end

bool Form1::eventFilter(QObject* watched, QEvent* event) {
  if (watched == file2_ && event->type() == QEvent::KeyPress) {
    // Let the list handle the key now, knowing that a change of entry comes from the keys.
    key_in_list_ = true;
    static_cast<QObject*>(file2_)->event(event);
    key_in_list_ = false;
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void Form1::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  // Closing the main window ends the program, whatever other windows are open.
  if (event->isAccepted()) QCoreApplication::quit();
}

}  // namespace tvcpix
