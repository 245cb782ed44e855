// The main window Form1: every control of the converter, placed as designed, and its handlers.
#include "ui/form1.h"

#include <QCheckBox>
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
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QMouseEvent>
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

// A coloured label that raises Click like a button: left press and release over it.
class ClickLabel : public QLabel {
 public:
  ClickLabel(QWidget* parent, std::function<void()> on_click)
      : QLabel(parent), on_click_(std::move(on_click)) {
    setAutoFillBackground(true);
  }

 protected:
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
  BuildHiddenControls();
  BuildShortcuts();
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

  pic1_ = new PictureView(&model_->pic1(), this);
  pic1_->setObjectName("Pic1");
  pic1_->setGeometry(392, 688, 96, 64);
  pic1_->hide();
  picz_ = new PictureView(&model_->picz(), this);
  picz_->setObjectName("PicZ");
  picz_->setGeometry(608, 520, 120, 120);
  picz_->hide();
  piczz_ = new PictureView(&model_->piczz(), this);
  piczz_->setObjectName("PicZZ");
  piczz_->setGeometry(736, 520, 120, 120);
  piczz_->hide();
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

  auto* refresh = MakeButton(this, "Command5", "refresh", QRect(8, 704, 137, 25));
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
    auto* scroll = new QScrollBar(Qt::Horizontal, frame);
    scroll->setObjectName(kScrolls[i]);
    scroll->setGeometry(8, 16, 209, 17);
    scroll->setRange(0, 100);
    scroll->setPageStep(10);
    scroll->setSingleStep(1);
    // Qt's scroll bars invert the keys (Right would lower the value); a value slider must not.
    scroll->setInvertedControls(false);
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
}

void Form1::BuildButtons() {
  auto* set = MakeButton(this, "Command6", "Set", QRect(448, 528, 73, 33));
  connect(set, &QPushButton::clicked, this, &Form1::Command6_Click);
  auto* save = MakeButton(this, "Command3", "Save", QRect(528, 528, 73, 33));
  connect(save, &QPushButton::clicked, this, &Form1::Command3_Click);
  auto* save_as = MakeButton(this, "Command7", "Save As", QRect(528, 568, 73, 33));
  connect(save_as, &QPushButton::clicked, this, &Form1::Command7_Click);
}

void Form1::BuildPalette() {
  QGroupBox* frame3 = MakeFrame(this, "Frame3", "Color Palette", QRect(1048, 8, 145, 289));
  for (int i = 0; i < 16; ++i) {
    auto* swatch = new ClickLabel(frame3, [this, i] { Label1_Click(i); });
    swatch->setObjectName(Indexed("Label1", i));
    swatch->setGeometry(8, 16 + 16 * i, 57, 17);
    label1_[static_cast<std::size_t>(i)] = swatch;
  }
  frame4_ = MakeFrame(frame3, "Frame4", QString(), QRect(80, 32, 57, 81));
  for (int i = 0; i < 4; ++i) {
    auto* swatch = new ClickLabel(frame4_, [this, i] { Label2_Click(i); });
    swatch->setObjectName(Indexed("Label2", i));
    swatch->setGeometry(0, 8 + 16 * i, 57, 17);
    label2_[static_cast<std::size_t>(i)] = swatch;
  }
  frame5_ = MakeFrame(frame3, "Frame5", QString(), QRect(80, 152, 57, 49));
  for (int i = 0; i < 2; ++i) {
    auto* swatch = new ClickLabel(frame5_, [this, i] { Label3_Click(i); });
    swatch->setObjectName(Indexed("Label3", i));
    swatch->setGeometry(0, 8 + 16 * i, 57, 17);
    label3_[static_cast<std::size_t>(i)] = swatch;
  }
  label4_ = new QLabel(frame3);
  label4_->setObjectName("Label4");
  label4_->setGeometry(80, 256, 57, 17);
  label4_->setAutoFillBackground(true);
}

void Form1::BuildOptions() {
  QGroupBox* frame2 = MakeFrame(this, "Frame2", "TVC MODE", QRect(1048, 304, 145, 81));
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
  MakeLabel(this, "Label5", "Colors Used:", QRect(168, 496, 65, 17));
  label6_ = MakeLabel(this, "Label6", "0", QRect(240, 496, 73, 17));
  MakeLabel(this, "Label8", "Colors Used:", QRect(528, 496, 65, 17));
  label7_ = MakeLabel(this, "Label7", "0", QRect(600, 496, 73, 17));
  MakeLabel(this, "Label13", "bmp, bin, tim", QRect(528, 608, 73, 17));

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
    shape_[static_cast<std::size_t>(i)] = shape;
  }
  label9_ = MakeLabel(this, "Label9", "0", QRect(912, 544, 33, 17));
}

void Form1::BuildHiddenControls() {
  // Hidden controls: the model does their work; these widgets only mirror its state.
  auto* command1 = MakeButton(this, "Command1", "Command1", QRect(0, 0, 73, 25));
  connect(command1, &QPushButton::clicked, this, &Form1::Command1_Click);
  command1->hide();
  check2_ = new QCheckBox("Auto Palette", this);
  check2_->setObjectName("Check2");
  check2_->hide();
  check3_ = new QCheckBox("Resize ", this);
  check3_->setObjectName("Check3");
  check3_->hide();
  label10_ = MakeLabel(this, "Label10", "0", QRect(0, 0, 33, 17));
  label10_->hide();
  MakeLabel(this, "Label11", "msec", QRect(0, 0, 33, 17))->hide();
  label12_ = MakeLabel(this, "Label12", "Label12", QRect(0, 0, 73, 17));
  label12_->hide();
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
  }
}

// ---------------------------------------------------------------- refresh

void Form1::RefreshFromModel() {
  for (PictureView* view : {pic5_, pic2_, tvc2_, tvc4_, tvc16_, pic1_}) view->update();

  for (int i = 0; i < 4; ++i) {
    const QSignalBlocker block(hscroll_[static_cast<std::size_t>(i)]);
    hscroll_[static_cast<std::size_t>(i)]->setValue(model_->slider(i + 1));
    text_[static_cast<std::size_t>(i)]->setText(QString::fromStdString(model_->slider_text(i + 1)));
  }
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
    option->setChecked(static_cast<int>(model_->method()) == i);
  }

  label6_->setText(QString::fromStdString(model_->source_colors_caption()));
  label7_->setText(QString::fromStdString(model_->result_colors_caption()));
  label10_->setText(QString::fromStdString(model_->run_time_caption()));
  label12_->setText(QString::fromStdString(model_->output_base_path()));
  check2_->setChecked(model_->auto_palette());
  check3_->setChecked(model_->resize());
  RefreshProbe();
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
  model_->LoadSourcePicture(std::move(opened.picture));
  RefreshFromModel();
  RefreshEditor();
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

void Form1::Command1_Click() {
  model_->Convert();
  RefreshFromModel();
}

void Form1::Command6_Click() {
  model_->Set();
  pic1_->update();
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
  if (fallback) {
    const QString base = QString::fromStdString(model_->output_base_path());
    show_message(QMessageBox::Information,
                 QString("The program's folder %1 cannot be written, so the files were saved in "
                         "%2:\n%3.bmp, %3.bin, %3.tim")
                     .arg(QDir::toNativeSeparators(program_folder_),
                          QDir::toNativeSeparators(folder), QFileInfo(base).fileName()));
  }
}

void Form1::Command7_Click() {
  const QString path = choose_save_path(SaveFolder());
  if (path.isEmpty()) return;  // cancelled: nothing written, nothing shown
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
  FinishSave(result, QFileInfo(path).absolutePath());
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
