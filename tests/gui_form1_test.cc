// Window tests of the main window: layout, file list, sliders, swatches, saving and the probe.
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyleOptionSlider>
#include <QTemporaryDir>
#include <QtTest>
#include <cerrno>
#include <cstring>
#include <deque>
#include <memory>
#include <vector>

#include "core/model.h"
#include "ui/form1.h"
#include "ui/form2.h"
#include "ui/picture_file.h"
#include "ui/surface_view.h"

using tvcpix::ColorValue;
using tvcpix::Form1;
using tvcpix::Model;

namespace {

QColor ToQColor(ColorValue c) {
  return QColor(tvcpix::RedOf(c), tvcpix::GreenOf(c), tvcpix::BlueOf(c));
}

QColor BackColor(const QWidget* w) { return w->palette().color(QPalette::Window); }

// What a control shows: caption, title, text, or a slider's value.
QString CaptionOf(const QWidget* w) {
  if (auto* b = qobject_cast<const QAbstractButton*>(w)) return b->text();
  if (auto* g = qobject_cast<const QGroupBox*>(w)) return g->title();
  if (auto* l = qobject_cast<const QLabel*>(w)) return l->text();
  if (auto* e = qobject_cast<const QLineEdit*>(w)) return e->text();
  if (auto* s = qobject_cast<const QScrollBar*>(w)) return QString::number(s->value());
  return QString();
}

// Every pixel (x, y) of this picture has its own colour, so a probed colour tells the position.
QImage UniquePixels() {
  QImage image(512, 480, QImage::Format_RGB888);
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 512; ++x) {
      image.setPixelColor(x, y, QColor(x & 255, y & 255, (x >> 8) * 128 + (y >> 8) * 64));
    }
  }
  return image;
}

QImage Quadrants(int w, int h) {
  QImage image(w, h, QImage::Format_RGB888);
  const QColor colours[4] = {QColor(250, 20, 20), QColor(20, 200, 40), QColor(30, 30, 220),
                             QColor(240, 240, 60)};
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) image.setPixelColor(x, y, colours[(y * 2 / h) * 2 + x * 2 / w]);
  }
  return image;
}

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

}  // namespace

class Form1Test : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void init();
  void cleanup();

  void WindowSizeAndCaption();
  void Layout_data();
  void Layout();
  void StartColours();
  void FileListFiltersAndSorts();
  void ClickLoadsFromTheListFolder();
  void ListKeysLoadLikeClicks();
  void UnloadableFileChangesNothing_data();
  void UnloadableFileChangesNothing();
  void SliderKeysConvertOncePerChange_data();
  void SliderKeysConvertOncePerChange();
  void SliderDragConvertsOnEveryStep();
  void LoadResetsSlidersWithoutExtraRuns();
  void SwatchesAndFrames();
  void OptionGroupsAreIndependent();
  void SaveWritesThreeFilesAndMovesTheList();
  void SaveFallsBackToUserFolder();
  void SaveFailureShowsErrorNumber();
  void SaveAsWritesThreeFiles();
  void SaveAsCancelWritesNothing();
  void SaveAsAsksOnceBeforeReplacing_data();
  void SaveAsAsksOnceBeforeReplacing();
  void SaveAsFailureShowsErrorNumber();
  void ProbeFollowsMouseInWholePixels();
  void ProbeClicksSwitchAndSwapPatterns();
  void EditorConversionRefreshesViews();
  void DroppedPictureLoadsAndMovesTheList();
  void ShortcutsRunTheCommands();
  void GrabWindow();
  void ClosingTheMainWindowQuits();

 private:
  template <typename T = QWidget>
  T* Find(const QString& name) {
    T* w = form_->findChild<T*>(name);
    if (w == nullptr) qWarning("no control %s", qPrintable(name));
    return w;
  }
  void Click(QWidget* w, Qt::MouseButton button = Qt::LeftButton, QPoint at = QPoint()) {
    QTest::mouseClick(w, button, Qt::NoModifier, at.isNull() ? w->rect().center() : at);
  }
  void ClickOption(const QString& name) { Click(Find(name), Qt::LeftButton, QPoint(6, 8)); }
  void ClickFile(const QString& name);
  tvcpix::Surface Decode(const QString& path);

  QTemporaryDir tmp_;
  QString pictures_;  // the folder the list shows in most tests
  std::unique_ptr<Model> model_;
  std::unique_ptr<Form1> form_;
  std::vector<std::pair<QMessageBox::Icon, QString>> messages_;
  std::deque<QString> save_paths_;
  std::vector<QString> questions_;
  bool answer_ = false;
  int dialogs_ = 0;
};

void Form1Test::initTestCase() {
  QVERIFY(tmp_.isValid());
  pictures_ = tmp_.filePath("pictures");
  QVERIFY(QDir().mkpath(pictures_));
  QDir dir(pictures_);
  QVERIFY(Quadrants(64, 48).save(dir.filePath("b_quads.bmp")));
  QVERIFY(UniquePixels().save(dir.filePath("A_unique.PNG")));
  WriteAll(dir.filePath("broken.jpg"), QByteArray("this is not a picture"));
  WriteAll(dir.filePath("notes.txt"), QByteArray("text"));
  QVERIFY(dir.mkdir("folder.bmp"));
}

void Form1Test::init() {
  model_ = std::make_unique<Model>();
  form_ = std::make_unique<Form1>(model_.get(), nullptr);
  messages_.clear();
  save_paths_.clear();
  questions_.clear();
  dialogs_ = 0;
  answer_ = false;
  form_->show_message = [this](QMessageBox::Icon icon, const QString& text) {
    messages_.emplace_back(icon, text);
  };
  form_->ask_yes_no = [this](const QString& text) {
    questions_.push_back(text);
    return answer_;
  };
  form_->choose_save_path = [this](const QString&) {
    ++dialogs_;
    if (save_paths_.empty()) return QString();
    const QString p = save_paths_.front();
    save_paths_.pop_front();
    return p;
  };
  form_->SetFileListFolder(pictures_);
  form_->show();
  QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
}

void Form1Test::cleanup() {
  form_.reset();
  model_.reset();
}

void Form1Test::ClickFile(const QString& name) {
  auto* list = Find<QListWidget>("File2");
  const QList<QListWidgetItem*> items = list->findItems(name, Qt::MatchExactly);
  QCOMPARE(items.size(), 1);
  list->scrollToItem(items.front());
  Click(list->viewport(), Qt::LeftButton, list->visualItemRect(items.front()).center());
}

tvcpix::Surface Form1Test::Decode(const QString& path) {
  tvcpix::Surface s;
  const tvcpix::DecodeResult r =
      tvcpix::DecodePictureFile(QFile::encodeName(path).toStdString(), &s);
  if (!r.ok) qWarning("%s", r.message.c_str());
  return s;
}

// ---------------------------------------------------------------- layout

void Form1Test::WindowSizeAndCaption() {
  QCOMPARE(form_->windowTitle(), QString("tvcpix 1.03"));
  QCOMPARE(form_->size(), QSize(1197, 730));
  QCOMPARE(form_->minimumSize(), form_->maximumSize());
}

void Form1Test::Layout_data() {
  QTest::addColumn<QString>("parent");
  QTest::addColumn<QRect>("geometry");  // width < 0: not fixed by the design, only inside parent
  QTest::addColumn<QString>("caption");
  QTest::addColumn<bool>("enabled");
  QTest::addColumn<bool>("shown");
  QTest::addColumn<int>("checked");  // -1 where it does not apply

  const QRect any(0, 0, -1, -1);
  auto row = [](const QString& name, const QString& parent, QRect g, const QString& caption,
                bool enabled = true, bool shown = true, int checked = -1) {
    QTest::newRow(qPrintable(name)) << parent << g << caption << enabled << shown << checked;
  };
  row("Pic5", "Form1", QRect(8, 8, 512, 480), "");
  row("Pic2", "Form1", QRect(528, 8, 512, 480), "");
  row("TVC2", "Form1", QRect(8, 8, 512, 240), "");
  row("TVC4", "Form1", QRect(8, 248, 256, 240), "");
  row("TVC16", "Form1", QRect(392, 248, 128, 240), "");
  row("Pic1", "Form1", QRect(392, 688, 96, 64), "", true, false);
  row("PicZ", "Form1", QRect(608, 520, 120, 120), "", true, false);
  row("PicZZ", "Form1", QRect(736, 520, 120, 120), "", true, false);
  row("File2", "Form1", QRect(8, 496, 137, 201), "");
  row("Command5", "Form1", QRect(8, 704, 137, 25), "refresh");
  const char* captions[4] = {"Brightness", "Gamma", "Color", "Contrast"};
  for (int i = 0; i < 4; ++i) {
    const QString frame = QString("Frame%1").arg(6 + i);
    row(frame, "Form1", QRect(160, 520 + 40 * i, 281, 41), captions[i]);
    row(QString("HScroll%1").arg(i + 1), frame, QRect(8, 16, 209, 17), "50");
    row(QString("Text%1").arg(i + 1), frame, QRect(232, 16, 33, 19), "50", false);
  }
  row("Command6", "Form1", QRect(448, 528, 73, 33), "Set");
  row("Command3", "Form1", QRect(528, 528, 73, 33), "Save");
  row("Command7", "Form1", QRect(528, 568, 73, 33), "Save As");
  row("Frame3", "Form1", QRect(1048, 8, 145, 289), "Color Palette");
  for (int i = 0; i < 16; ++i)
    row(QString("Label1(%1)").arg(i), "Frame3", QRect(8, 16 + 16 * i, 57, 17), "");
  row("Frame4", "Frame3", QRect(80, 32, 57, 81), "", false);
  for (int i = 0; i < 4; ++i)
    row(QString("Label2(%1)").arg(i), "Frame4", QRect(0, 8 + 16 * i, 57, 17), "", false);
  row("Frame5", "Frame3", QRect(80, 152, 57, 49), "", false);
  for (int i = 0; i < 2; ++i)
    row(QString("Label3(%1)").arg(i), "Frame5", QRect(0, 8 + 16 * i, 57, 17), "", false);
  row("Label4", "Frame3", QRect(80, 256, 57, 17), "");
  row("Frame2", "Form1", QRect(1048, 304, 145, 81), "TVC MODE");
  const char* modes[3] = {"Graphics 2", "Graphics 4", "Graphics 16"};
  for (int i = 0; i < 3; ++i) {
    row(QString("Option2(%1)").arg(i), "Frame2", QRect(8, 24 + 16 * i, 81, 17), modes[i], true,
        true, i == 2 ? 1 : 0);
  }
  row("Frame1", "Form1", QRect(1048, 392, 145, 337), "DITHER MODE");
  const char* methods[18] = {"",
                             "Atkinson",
                             "Floyd",
                             "Treshold",
                             "Treshold+Noise",
                             "Halftone 2x2",
                             "Halftone 3x3",
                             "Bayer 2x2",
                             "Bayer 4x4",
                             "Bayer 8x8",
                             "News 4x4",
                             "Sierra",
                             "Burkles",
                             "Stucky",
                             "Jarvis",
                             "Sierra Lite",
                             "Sierra2 Row",
                             "Pattern TVC"};
  for (int i = 1; i <= 17; ++i) {
    const int y = i <= 16 ? 24 + 16 * (i - 1) : 288;
    row(QString("Option1(%1)").arg(i), "Frame1", QRect(16, y, -1, 17), methods[i], true, true,
        i == 17 ? 1 : 0);
  }
  row("Label5", "Form1", QRect(168, 496, 65, 17), "Colors Used:");
  row("Label6", "Form1", QRect(240, 496, 73, 17), "0");
  row("Label8", "Form1", QRect(528, 496, 65, 17), "Colors Used:");
  row("Label7", "Form1", QRect(600, 496, 73, 17), "0");
  row("Label13", "Form1", QRect(528, 608, 73, 17), "bmp, bin, tim");
  row("Shape1", "Form1", QRect(864, 504, 33, 33), "");
  row("Shape2", "Form1", QRect(912, 504, 17, 17), "");
  row("Shape3", "Form1", QRect(928, 504, 17, 17), "");
  row("Shape4", "Form1", QRect(912, 520, 17, 17), "");
  row("Shape5", "Form1", QRect(928, 520, 17, 17), "");
  row("Label9", "Form1", QRect(912, 544, 33, 17), "0");
  row("Command1", "Form1", any, "Command1", true, false);
  row("Check2", "Form1", any, "Auto Palette", true, false, 0);
  row("Check3", "Form1", any, "Resize ", true, false, 1);
  row("Label10", "Form1", any, "0", true, false);
  row("Label11", "Form1", any, "msec", true, false);
  row("Label12", "Form1", any, "Label12", true, false);
}

void Form1Test::Layout() {
  QFETCH(QString, parent);
  QFETCH(QRect, geometry);
  QFETCH(QString, caption);
  QFETCH(bool, enabled);
  QFETCH(bool, shown);
  QFETCH(int, checked);

  const QString name = QTest::currentDataTag();
  QWidget* w = Find(name);
  QVERIFY(w != nullptr);
  QCOMPARE(form_->findChildren<QWidget*>(name).size(), 1);
  QCOMPARE(w->parentWidget()->objectName(), parent);
  if (geometry.width() >= 0) {
    QCOMPARE(w->geometry(), geometry);
  } else if (geometry.height() >= 0) {
    QCOMPARE(w->pos(), geometry.topLeft());
    QCOMPARE(w->height(), geometry.height());
    QVERIFY(w->parentWidget()->rect().contains(w->geometry()));
  }
  QCOMPARE(CaptionOf(w), caption);
  QCOMPARE(w->isEnabled(), enabled);
  QCOMPARE(w->isVisible(), shown);
  if (checked >= 0) {
    auto* b = qobject_cast<QAbstractButton*>(w);
    QVERIFY(b != nullptr);
    QCOMPARE(b->isChecked(), checked == 1);
  }
  if (auto* s = qobject_cast<QScrollBar*>(w)) {
    QCOMPARE(s->orientation(), Qt::Horizontal);
    QCOMPARE(s->minimum(), 0);
    QCOMPARE(s->maximum(), 100);
    QCOMPARE(s->pageStep(), 10);
    QCOMPARE(s->singleStep(), 1);
  }
}

void Form1Test::StartColours() {
  const QColor grey(64, 64, 64);
  for (int i = 0; i < 16; ++i) {
    QCOMPARE(BackColor(Find(QString("Label1(%1)").arg(i))), ToQColor(model_->label1(i)));
  }
  for (int i = 0; i < 4; ++i) {
    QCOMPARE(BackColor(Find(QString("Label2(%1)").arg(i))), ToQColor(model_->label2(i)));
  }
  for (int i = 0; i < 2; ++i) {
    QCOMPARE(BackColor(Find(QString("Label3(%1)").arg(i))), ToQColor(model_->label3(i)));
  }
  QCOMPARE(BackColor(Find("Label4")), grey);
  // Nothing is converted at start: the views show their backgrounds, drawn 1:1.
  const QImage pic5 = form_->grab(QRect(8, 8, 512, 480)).toImage();
  QCOMPARE(pic5.size(), QSize(512, 480));
  QCOMPARE(pic5.pixelColor(0, 0), grey);
  QCOMPARE(pic5.pixelColor(511, 479), grey);
  QCOMPARE(form_->grab(QRect(528, 8, 512, 480)).toImage().pixelColor(300, 200), grey);
  QCOMPARE(model_->convert_count(), 0u);
}

// ---------------------------------------------------------------- file list and loading

void Form1Test::FileListFiltersAndSorts() {
  auto* list = Find<QListWidget>("File2");
  QStringList shown;
  for (int i = 0; i < list->count(); ++i) shown << list->item(i)->text();
  QCOMPARE(shown, QStringList({"A_unique.PNG", "b_quads.bmp", "broken.jpg"}));
  QCOMPARE(QDir::currentPath(), QDir(pictures_).absolutePath());

  // "refresh" picks up files that appeared since the listing.
  const QString extra = QDir(pictures_).filePath("c_new.JPEG");
  QVERIFY(Quadrants(8, 8).save(extra, "JPEG"));
  QCOMPARE(list->count(), 3);
  Click(Find("Command5"));
  QCOMPARE(list->count(), 4);
  QCOMPARE(list->item(3)->text(), QString("c_new.JPEG"));
  QFile::remove(extra);
}

void Form1Test::ClickLoadsFromTheListFolder() {
  // A same-named file in the current directory must not be what a click loads.
  const QString decoy = tmp_.filePath("decoy");
  QVERIFY(QDir().mkpath(decoy));
  QVERIFY(Quadrants(32, 32).save(QDir(decoy).filePath("b_quads.bmp")));
  QDir::setCurrent(decoy);

  ClickFile("b_quads.bmp");
  QVERIFY(messages_.empty());
  QCOMPARE(model_->pic1().width(), 64);
  QCOMPARE(model_->pic1().height(), 48);
  QCOMPARE(Find<QLabel>("Label6")->text(), QString("4"));
  QVERIFY(model_->convert_count() >= 3);
  QCOMPARE(Find<QLabel>("Label7")->text(), QString::fromStdString(model_->result_colors_caption()));
  QVERIFY(Find<QLabel>("Label7")->text() != "0");
  // The views now show the model's pixels, not their grey backgrounds.
  QCOMPARE(form_->grab(QRect(528, 8, 512, 480)).toImage().convertToFormat(QImage::Format_RGB888),
           qobject_cast<tvcpix::PictureView*>(Find("Pic2"))
               ->ToImage()
               .convertToFormat(QImage::Format_RGB888));
  QVERIFY(form_->grab(QRect(8, 8, 512, 480)).toImage().pixelColor(4, 4) != QColor(64, 64, 64));
}

void Form1Test::ListKeysLoadLikeClicks() {
  ClickFile("A_unique.PNG");
  QCOMPARE(model_->pic1().width(), 512);
  const auto before = model_->convert_count();
  Model reference;
  reference.LoadSourcePicture(Decode(QDir(pictures_).filePath("b_quads.bmp")));
  QTest::keyClick(Find("File2"), Qt::Key_Down);
  QCOMPARE(model_->pic1().width(), 64);
  QCOMPARE(model_->convert_count() - before, reference.convert_count());
  QVERIFY(model_->pic2() == reference.pic2());
}

void Form1Test::UnloadableFileChangesNothing_data() {
  QTest::addColumn<QString>("file");
  QTest::addColumn<bool>("remove_after_listing");
  QTest::newRow("not a picture") << "broken.jpg" << false;
  QTest::newRow("removed since listing") << "gone.bmp" << true;
}

void Form1Test::UnloadableFileChangesNothing() {
  QFETCH(QString, file);
  QFETCH(bool, remove_after_listing);
  ClickFile("b_quads.bmp");
  Find<QScrollBar>("HScroll2")->setValue(70);
  const QString path = QDir(pictures_).filePath(file);
  if (remove_after_listing) {
    QVERIFY(Quadrants(8, 8).save(path));
    Click(Find("Command5"));
    QVERIFY(QFile::remove(path));
  }

  const tvcpix::Surface pic1 = model_->pic1(), pic5 = model_->pic5(), pic2 = model_->pic2();
  const auto converts = model_->convert_count();
  const QString label6 = Find<QLabel>("Label6")->text();
  ClickFile(file);
  QCOMPARE(messages_.size(), std::size_t{1});
  QVERIFY2(messages_[0].second.contains(file), qPrintable(messages_[0].second));
  QVERIFY(model_->pic1() == pic1);
  QVERIFY(model_->pic5() == pic5);
  QVERIFY(model_->pic2() == pic2);
  QCOMPARE(model_->convert_count(), converts);
  QCOMPARE(Find<QLabel>("Label6")->text(), label6);
  QCOMPARE(Find<QScrollBar>("HScroll2")->value(), 70);
  QCOMPARE(Find<QLineEdit>("Text2")->text(), QString("70"));
}

// ---------------------------------------------------------------- sliders

void Form1Test::SliderKeysConvertOncePerChange_data() {
  QTest::addColumn<int>("slider");
  QTest::addColumn<QList<int>>("keys");
  QTest::addColumn<int>("value");
  QTest::addColumn<int>("changes");
  QTest::newRow("arrow right") << 1 << QList<int>{Qt::Key_Right} << 51 << 1;
  QTest::newRow("arrow left") << 2 << QList<int>{Qt::Key_Left} << 49 << 1;
  QTest::newRow("page up") << 3 << QList<int>{Qt::Key_PageUp} << 60 << 1;
  QTest::newRow("page down twice")
      << 4 << QList<int>{Qt::Key_PageDown, Qt::Key_PageDown} << 30 << 2;
  QTest::newRow("end, end again") << 1 << QList<int>{Qt::Key_End, Qt::Key_End} << 100 << 1;
  QTest::newRow("home, then left at 0") << 2 << QList<int>{Qt::Key_Home, Qt::Key_Left} << 0 << 1;
}

void Form1Test::SliderKeysConvertOncePerChange() {
  QFETCH(int, slider);
  QFETCH(QList<int>, keys);
  QFETCH(int, value);
  QFETCH(int, changes);
  auto* scroll = Find<QScrollBar>(QString("HScroll%1").arg(slider));
  const auto before = model_->convert_count();
  for (int key : keys) QTest::keyClick(scroll, static_cast<Qt::Key>(key));
  QCOMPARE(scroll->value(), value);
  QCOMPARE(model_->slider(slider), value);
  QCOMPARE(Find<QLineEdit>(QString("Text%1").arg(slider))->text(), QString::number(value));
  QCOMPARE(model_->convert_count() - before, static_cast<std::uint64_t>(changes));
}

void Form1Test::SliderDragConvertsOnEveryStep() {
  ClickFile("b_quads.bmp");
  auto* scroll = Find<QScrollBar>("HScroll3");
  QStyleOptionSlider opt;
  opt.initFrom(scroll);
  opt.orientation = Qt::Horizontal;
  opt.minimum = scroll->minimum();
  opt.maximum = scroll->maximum();
  opt.sliderPosition = opt.sliderValue = scroll->value();
  opt.singleStep = scroll->singleStep();
  opt.pageStep = scroll->pageStep();
  opt.upsideDown = false;
  opt.subControls = QStyle::SC_All;
  const QRect thumb = scroll->style()->subControlRect(QStyle::CC_ScrollBar, &opt,
                                                      QStyle::SC_ScrollBarSlider, scroll);
  QVERIFY(thumb.isValid());

  QSignalSpy moved(scroll, &QScrollBar::valueChanged);
  const auto before = model_->convert_count();
  QPoint p = thumb.center();
  QTest::mousePress(scroll, Qt::LeftButton, Qt::NoModifier, p);
  QStringList texts;
  for (int step = 0; step < 4; ++step) {
    p += QPoint(12, 0);
    QMouseEvent move(QEvent::MouseMove, p, scroll->mapToGlobal(p), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(scroll, &move);
    texts << Find<QLineEdit>("Text3")->text();
  }
  QTest::mouseRelease(scroll, Qt::LeftButton, Qt::NoModifier, p);
  // The text and the model follow the thumb during the drag, not only at its end.
  QVERIFY2(moved.count() >= 3, qPrintable(texts.join(",")));
  QCOMPARE(texts.size(), 4);
  QVERIFY(texts.front() != texts.back());
  QCOMPARE(texts.back(), QString::number(scroll->value()));
  QVERIFY(scroll->value() > 50);
  QCOMPARE(model_->slider(3), scroll->value());
  QCOMPARE(model_->convert_count() - before, static_cast<std::uint64_t>(moved.count()));

  // A click on the track left of the thumb pages down by 10, converting once.
  const auto at = model_->convert_count();
  const int old = scroll->value();
  opt.sliderPosition = opt.sliderValue = old;
  const QRect track = scroll->style()->subControlRect(QStyle::CC_ScrollBar, &opt,
                                                      QStyle::SC_ScrollBarSubPage, scroll);
  Click(scroll, Qt::LeftButton, track.center());
  QCOMPARE(scroll->value(), old - 10);
  QCOMPARE(Find<QLineEdit>("Text3")->text(), QString::number(old - 10));
  QCOMPARE(model_->convert_count() - at, 1u);
}

void Form1Test::LoadResetsSlidersWithoutExtraRuns() {
  // The same steps on a bare model count the conversions the window may run, no more.
  const QString path = QDir(pictures_).filePath("b_quads.bmp");
  Model reference;
  reference.MoveSlider(1, 60);
  reference.MoveSlider(4, 0);
  const auto ref_before = reference.convert_count();
  reference.LoadSourcePicture(Decode(path));
  const auto ref_load = reference.convert_count() - ref_before;

  Find<QScrollBar>("HScroll1")->setValue(60);
  QTest::keyClick(Find("HScroll4"), Qt::Key_Home);
  QCOMPARE(model_->convert_count(), ref_before);
  ClickFile("b_quads.bmp");
  QCOMPARE(model_->convert_count() - ref_before, ref_load);
  for (int n = 1; n <= 4; ++n) {
    QCOMPARE(Find<QScrollBar>(QString("HScroll%1").arg(n))->value(), 50);
    QCOMPARE(Find<QLineEdit>(QString("Text%1").arg(n))->text(), QString("50"));
  }
  QVERIFY(model_->pic2() == reference.pic2());
  QVERIFY(model_->pic5() == reference.pic5());
}

// ---------------------------------------------------------------- swatches and options

void Form1Test::SwatchesAndFrames() {
  auto* frame4 = Find("Frame4");
  auto* frame5 = Find("Frame5");
  const ColorValue red = model_->label1(12);
  const auto start = model_->convert_count();

  // A pick changes only the current colour.
  Click(Find("Label1(12)"));
  QCOMPARE(model_->label4(), red);
  QCOMPARE(BackColor(Find("Label4")), ToQColor(red));
  QCOMPARE(model_->convert_count(), start);

  // "Graphics 16": neither palette row reacts.
  const ColorValue old4 = model_->label2(2), old2 = model_->label3(0);
  Click(Find("Label2(2)"));
  Click(Find("Label3(0)"));
  QCOMPARE(model_->label2(2), old4);
  QCOMPARE(model_->label3(0), old2);
  QCOMPARE(model_->convert_count(), start);

  // "Graphics 4": converts once, then only the 4-colour row is editable.
  ClickOption("Option2(1)");
  QCOMPARE(model_->mode(), tvcpix::TvcMode::kGraphics4);
  QCOMPARE(model_->convert_count() - start, 1u);
  QVERIFY(frame4->isEnabled());
  QVERIFY(!frame5->isEnabled());
  Click(Find("Label2(2)"));
  QCOMPARE(model_->label2(2), red);
  QCOMPARE(BackColor(Find("Label2(2)")), ToQColor(red));
  QCOMPARE(model_->convert_count() - start, 2u);
  Click(Find("Label3(1)"));
  QCOMPARE(model_->convert_count() - start, 2u);

  // "Graphics 2": the 2-colour row instead.
  ClickOption("Option2(0)");
  QVERIFY(!frame4->isEnabled());
  QVERIFY(frame5->isEnabled());
  Click(Find("Label1(3)"));
  Click(Find("Label3(1)"));
  QCOMPARE(model_->label3(1), model_->label1(3));
  QCOMPARE(BackColor(Find("Label3(1)")), ToQColor(model_->label1(3)));
  // The colour stays visible on a row that is disabled again.
  ClickOption("Option2(2)");
  QVERIFY(!frame4->isEnabled());
  QVERIFY(!frame5->isEnabled());
  QCOMPARE(BackColor(Find("Label3(1)")), ToQColor(model_->label1(3)));
  QCOMPARE(BackColor(Find("Label2(2)")), ToQColor(red));
}

void Form1Test::OptionGroupsAreIndependent() {
  const auto start = model_->convert_count();
  ClickOption("Option1(2)");
  QCOMPARE(model_->method(), tvcpix::DitherMethod::kFloyd);
  QCOMPARE(model_->convert_count() - start, 1u);
  QVERIFY(Find<QRadioButton>("Option2(2)")->isChecked());
  QVERIFY(!Find<QRadioButton>("Option1(17)")->isChecked());
  ClickOption("Option2(1)");
  QVERIFY(Find<QRadioButton>("Option1(2)")->isChecked());
  QCOMPARE(model_->mode(), tvcpix::TvcMode::kGraphics4);
  // Keys move within one group only.
  form_->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(form_.get()));
  Find("Option1(2)")->setFocus();
  QTest::keyClick(Find("Option1(2)"), Qt::Key_Down);
  QCOMPARE(model_->method(), tvcpix::DitherMethod::kTreshold);
  QCOMPARE(model_->mode(), tvcpix::TvcMode::kGraphics4);
  QCOMPARE(model_->convert_count() - start, 3u);
}

// ---------------------------------------------------------------- saving

void Form1Test::SaveWritesThreeFilesAndMovesTheList() {
  const QString program = tmp_.filePath("program");
  QVERIFY(QDir().mkpath(program));
  form_->set_program_folder(program);
  form_->set_fallback_folder(tmp_.filePath("unused-fallback"));
  ClickOption("Option2(1)");
  ClickFile("b_quads.bmp");
  for (int round = 0; round < 2; ++round) {  // the second save replaces without asking
    Click(Find("Command3"));
    QVERIFY2(messages_.empty(), messages_.empty() ? "" : qPrintable(messages_[0].second));
    QVERIFY(questions_.empty());
    QDir dir(program);
    QCOMPARE(QFileInfo(dir.filePath("out24.bmp")).size(), 54 + 512 * 480 * 3);
    QCOMPARE(QFileInfo(dir.filePath("out24.bin")).size(), 16384);
    QCOMPARE(QFileInfo(dir.filePath("out24.tim")).size(), 16400);
    QCOMPARE(ReadAll(dir.filePath("out24.tim")).mid(16), ReadAll(dir.filePath("out24.bin")));
    QCOMPARE(ReadAll(dir.filePath("out24.tim"))[3], char(1));  // "Graphics 4"
    QCOMPARE(QImage(dir.filePath("out24.bmp")).convertToFormat(QImage::Format_RGB888),
             qobject_cast<tvcpix::PictureView*>(Find("Pic2"))
                 ->ToImage()
                 .convertToFormat(QImage::Format_RGB888));
  }
  QCOMPARE(form_->file_list_folder(), QDir(program).absolutePath());
  QCOMPARE(QDir::currentPath(), QDir(program).absolutePath());
  // The new BMP file is listed, and the new screen beside it (it can be loaded back).
  QCOMPARE(Find<QListWidget>("File2")->count(), 2);
  QCOMPARE(Find<QListWidget>("File2")->item(0)->text(), QString("out24.bmp"));
  QCOMPARE(Find<QListWidget>("File2")->item(1)->text(), QString("out24.tim"));
  QCOMPARE(Find<QLabel>("Label12")->text(), QDir(program).filePath("out24"));
  QVERIFY(!QFileInfo::exists(tmp_.filePath("unused-fallback")));
}

void Form1Test::SaveFallsBackToUserFolder() {
  // A program folder that cannot be written (here: one that does not exist).
  form_->set_program_folder(tmp_.filePath("no-such-program-folder"));
  const QString fallback = tmp_.filePath("home/Pictures/tvcpix");
  form_->set_fallback_folder(fallback);
  Click(Find("Command3"));
  QVERIFY(QFileInfo::exists(QDir(fallback).filePath("out24.bmp")));
  QVERIFY(QFileInfo::exists(QDir(fallback).filePath("out24.bin")));
  QVERIFY(QFileInfo::exists(QDir(fallback).filePath("out24.tim")));
  QCOMPARE(messages_.size(), std::size_t{1});
  QCOMPARE(messages_[0].first, QMessageBox::Information);
  QVERIFY2(messages_[0].second.contains(QDir(fallback).absolutePath()),
           qPrintable(messages_[0].second));
  QCOMPARE(form_->file_list_folder(), QDir(fallback).absolutePath());
  QCOMPARE(QDir::currentPath(), QDir(fallback).absolutePath());

  // "Save As" starts its dialog in that folder too.
  QString started;
  form_->choose_save_path = [&started](const QString& start) {
    started = start;
    return QString();
  };
  Click(Find("Command7"));
  QCOMPARE(started, QDir(fallback).absolutePath());
}

void Form1Test::SaveFailureShowsErrorNumber() {
  const QString blocker = tmp_.filePath("a-file");
  WriteAll(blocker, "x");
  form_->set_program_folder(tmp_.filePath("no-such-program-folder"));
  form_->set_fallback_folder(blocker + "/tvcpix");  // cannot be created under a file
  Click(Find("Command3"));
  QCOMPARE(messages_.size(), std::size_t{1});
  const QString expected = QString("Error #%1 - %2").arg(ENOTDIR).arg(std::strerror(ENOTDIR));
  QVERIFY2(messages_[0].second.startsWith(expected), qPrintable(messages_[0].second));
  QCOMPARE(form_->file_list_folder(), QDir(pictures_).absolutePath());
}

void Form1Test::SaveAsWritesThreeFiles() {
  const QString out = tmp_.filePath("chosen");
  QVERIFY(QDir().mkpath(out));
  ClickFile("b_quads.bmp");
  save_paths_.push_back(QDir(out).filePath("holiday"));
  Click(Find("Command7"));
  QCOMPARE(dialogs_, 1);
  QVERIFY(messages_.empty());
  QVERIFY(questions_.empty());
  QDir dir(out);
  QCOMPARE(QFileInfo(dir.filePath("holiday.bmp")).size(), 54 + 512 * 480 * 3);
  QCOMPARE(QFileInfo(dir.filePath("holiday.bin")).size(), 16384);
  QCOMPARE(QFileInfo(dir.filePath("holiday.tim")).size(), 16400);
  QCOMPARE(Find<QLabel>("Label12")->text(), dir.filePath("holiday"));
  QCOMPARE(form_->file_list_folder(), dir.absolutePath());
  QCOMPARE(QDir::currentPath(), dir.absolutePath());
  QCOMPARE(Find<QListWidget>("File2")->item(0)->text(), QString("holiday.bmp"));

  // A chosen "x.bmp" is a base name like any other: x.bmp.bmp, x.bmp.bin, x.bmp.tim.
  save_paths_.push_back(dir.filePath("holiday.bmp"));
  Click(Find("Command7"));
  QVERIFY(questions_.empty());  // none of the three names it writes exists yet
  QVERIFY(QFileInfo::exists(dir.filePath("holiday.bmp.bmp")));
  QVERIFY(QFileInfo::exists(dir.filePath("holiday.bmp.tim")));
}

void Form1Test::SaveAsCancelWritesNothing() {
  const QStringList before = QDir(pictures_).entryList(QDir::Files);
  Click(Find("Command7"));  // no path queued: the dialog is cancelled
  QCOMPARE(dialogs_, 1);
  QVERIFY(messages_.empty());
  QVERIFY(questions_.empty());
  QCOMPARE(Find<QLabel>("Label12")->text(), QString("Label12"));
  QCOMPARE(model_->output_base_path(), std::string("Label12"));
  QCOMPARE(form_->file_list_folder(), QDir(pictures_).absolutePath());
  QCOMPARE(QDir(pictures_).entryList(QDir::Files), before);
}

void Form1Test::SaveAsAsksOnceBeforeReplacing_data() {
  QTest::addColumn<QString>("existing");
  QTest::addColumn<bool>("yes");
  QTest::newRow("bin exists, no") << ".bin" << false;
  QTest::newRow("bin exists, yes") << ".bin" << true;
  QTest::newRow("bmp exists, no") << ".bmp" << false;
  QTest::newRow("tim exists, yes") << ".tim" << true;
}

void Form1Test::SaveAsAsksOnceBeforeReplacing() {
  QFETCH(QString, existing);
  QFETCH(bool, yes);
  QTemporaryDir out;
  const QString base = QDir(out.path()).filePath("holiday");
  WriteAll(base + existing, "the user's own file");
  answer_ = yes;
  save_paths_.push_back(base);
  Click(Find("Command7"));
  QCOMPARE(questions_.size(), std::size_t{1});
  QVERIFY(questions_[0].contains("holiday" + existing));
  QVERIFY(messages_.empty());
  if (yes) {
    QCOMPARE(QFileInfo(base + ".bin").size(), 16384);
    QCOMPARE(QFileInfo(base + ".tim").size(), 16400);
    QCOMPARE(QFileInfo(base + ".bmp").size(), 54 + 512 * 480 * 3);
    QCOMPARE(form_->file_list_folder(), QDir(out.path()).absolutePath());
  } else {
    QCOMPARE(ReadAll(base + existing), QByteArray("the user's own file"));
    QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    QCOMPARE(model_->output_base_path(), std::string("Label12"));
    QCOMPARE(form_->file_list_folder(), QDir(pictures_).absolutePath());
  }
}

void Form1Test::SaveAsFailureShowsErrorNumber() {
  save_paths_.push_back(tmp_.filePath("no-such-folder/holiday"));
  Click(Find("Command7"));
  QCOMPARE(messages_.size(), std::size_t{1});
  const QString expected = QString("Error #%1 - %2").arg(ENOENT).arg(std::strerror(ENOENT));
  QVERIFY2(messages_[0].second.startsWith(expected), qPrintable(messages_[0].second));
  QVERIFY(messages_[0].second.contains("holiday.bmp"));
  QCOMPARE(form_->file_list_folder(), QDir(pictures_).absolutePath());
  QVERIFY(!QFileInfo::exists(tmp_.filePath("no-such-folder")));
}

// ---------------------------------------------------------------- probe

void Form1Test::ProbeFollowsMouseInWholePixels() {
  ClickFile("A_unique.PNG");
  QWidget* pic2 = Find("Pic2");
  auto move = [pic2](QPointF p) {
    QMouseEvent e(QEvent::MouseMove, p, pic2->mapToGlobal(p), Qt::NoButton, Qt::NoButton,
                  Qt::NoModifier);
    QApplication::sendEvent(pic2, &e);
  };
  // Fractions round down: (100.7, 50.9) is pixel (100, 50).
  move(QPointF(100.7, 50.9));
  QCOMPARE(BackColor(Find("Shape1")), QColor(100, 50, 0));
  QCOMPARE(Find<QLabel>("Label9")->text(), QString::fromStdString(model_->probe_caption()));
  for (int n = 2; n <= 5; ++n) {
    QCOMPARE(BackColor(Find(QString("Shape%1").arg(n))), ToQColor(model_->shape(n)));
  }
  QCOMPARE(BackColor(Find("Shape2")), BackColor(Find("Shape5")));
  QCOMPARE(BackColor(Find("Shape3")), BackColor(Find("Shape4")));
  // Just left of the view is pixel -1, outside: the probe keeps what it showed.
  move(QPointF(-0.5, 3.2));
  QCOMPARE(BackColor(Find("Shape1")), QColor(100, 50, 0));
  move(QPointF(300.2, 400.0));
  QCOMPARE(BackColor(Find("Shape1")), QColor(300 & 255, 400 & 255, 128 + 64));
  // The hidden magnifier follows: the centre block shows the pixel under the pointer.
  QCOMPARE(ToQColor(tvcpix::PixelAt(model_->picz(), 60, 60)), QColor(300 & 255, 400 & 255, 192));
}

void Form1Test::ProbeClicksSwitchAndSwapPatterns() {
  ClickFile("A_unique.PNG");
  QWidget* pic2 = Find("Pic2");
  QTest::mouseMove(pic2, QPoint(200, 100));
  const int k = Find<QLabel>("Label9")->text().toInt();
  QCOMPARE(QString::number(k), QString::fromStdString(model_->probe_caption()));
  const QColor a = BackColor(Find("Shape2")), b = BackColor(Find("Shape3"));

  auto converts = model_->convert_count();
  Click(pic2, Qt::LeftButton, QPoint(200, 100));
  QCOMPARE(model_->pattern_flags().excluded[static_cast<std::size_t>(k)], 1);
  QVERIFY(model_->convert_count() > converts);
  QCOMPARE(Find<QLabel>("Label7")->text(), QString::fromStdString(model_->result_colors_caption()));

  Click(pic2, Qt::MiddleButton, QPoint(200, 100));
  QCOMPARE(model_->pattern_flags().excluded[static_cast<std::size_t>(k)], 0);
  QCOMPARE(BackColor(Find("Shape2")), a);

  converts = model_->convert_count();
  Click(pic2, Qt::RightButton, QPoint(200, 100));
  QCOMPARE(model_->pattern_flags().excluded[static_cast<std::size_t>(k)], 0);
  QCOMPARE(BackColor(Find("Shape2")), b);
  QCOMPARE(BackColor(Find("Shape3")), a);
  QVERIFY(model_->convert_count() > converts);
}

void Form1Test::EditorConversionRefreshesViews() {
  form_.reset();
  model_ = std::make_unique<Model>();
  tvcpix::Form2 editor(model_.get());
  form_ = std::make_unique<Form1>(model_.get(), &editor);
  form_->SetFileListFolder(pictures_);
  ClickFile("b_quads.bmp");
  auto* label7 = Find<QLabel>("Label7");
  label7->setText("stale");
  auto* all_on = editor.findChild<QPushButton*>("Command6");
  QVERIFY(all_on != nullptr);
  Click(all_on);
  QCOMPARE(label7->text(), QString::fromStdString(model_->result_colors_caption()));
}

// ---------------------------------------------------------------- desktop conveniences

void Form1Test::DroppedPictureLoadsAndMovesTheList() {
  const QString zone = tmp_.filePath("dropzone");
  QVERIFY(QDir().mkpath(zone));
  const QString picture = QDir(zone).filePath("dropped.bmp");
  QVERIFY(Quadrants(40, 30).save(picture));
  WriteAll(QDir(zone).filePath("readme.txt"), "text");

  auto drag = [this](const QString& path) {
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(path)});
    const QPoint at(300, 300);
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form_.get(), &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form_.get(), &drop);
    return true;
  };
  QVERIFY(!drag(QDir(zone).filePath("readme.txt")));
  QCOMPARE(form_->file_list_folder(), QDir(pictures_).absolutePath());

  Model reference;
  reference.LoadSourcePicture(Decode(picture));
  QVERIFY(drag(picture));
  QVERIFY(messages_.empty());
  QCOMPARE(model_->pic1().width(), 40);
  QCOMPARE(model_->convert_count(), reference.convert_count());  // loaded once
  QCOMPARE(form_->file_list_folder(), QDir(zone).absolutePath());
  QCOMPARE(QDir::currentPath(), QDir(zone).absolutePath());
  QCOMPARE(Find<QListWidget>("File2")->currentItem()->text(), QString("dropped.bmp"));
}

void Form1Test::ShortcutsRunTheCommands() {
  form_->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(form_.get()));
  const QString program = tmp_.filePath("shortcut-program");
  QVERIFY(QDir().mkpath(program));
  form_->set_program_folder(program);

  // F5 re-reads the folder.
  const QString extra = QDir(pictures_).filePath("d_extra.bmp");
  QVERIFY(Quadrants(8, 8).save(extra));
  QTest::keyClick(form_.get(), Qt::Key_F5);
  QCOMPARE(Find<QListWidget>("File2")->count(), 4);
  QVERIFY(QFile::remove(extra));

  // Ctrl+O chooses the folder of the list; cancel keeps it.
  QStringList asked;
  QString answer;
  form_->choose_folder = [&](const QString& current) {
    asked << current;
    return answer;
  };
  QTest::keyClick(form_.get(), Qt::Key_O, Qt::ControlModifier);
  QCOMPARE(asked, QStringList({QDir(pictures_).absolutePath()}));
  QCOMPARE(form_->file_list_folder(), QDir(pictures_).absolutePath());
  answer = program;
  QTest::keyClick(form_.get(), Qt::Key_O, Qt::ControlModifier);
  QCOMPARE(form_->file_list_folder(), QDir(program).absolutePath());
  QCOMPARE(QDir::currentPath(), QDir(program).absolutePath());

  // Ctrl+S is "Save", Ctrl+Shift+S "Save As".
  QTest::keyClick(form_.get(), Qt::Key_S, Qt::ControlModifier);
  QVERIFY(QFileInfo::exists(QDir(program).filePath("out24.tim")));
  QCOMPARE(dialogs_, 0);
  save_paths_.push_back(QDir(program).filePath("keyed"));
  QTest::keyClick(form_.get(), Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
  QCOMPARE(dialogs_, 1);
  QVERIFY(QFileInfo::exists(QDir(program).filePath("keyed.bin")));
}

void Form1Test::GrabWindow() {
  // A real photograph from the bundled samples when present, else the generated one.
  const QString samples = QFileInfo(QStringLiteral(__FILE__)).dir().filePath("../samples");
  if (QFileInfo::exists(QDir(samples).filePath("parrot_495x498.jpg"))) {
    form_->SetFileListFolder(samples);
    ClickFile("parrot_495x498.jpg");
  } else {
    ClickFile("A_unique.PNG");
  }
  QVERIFY(messages_.empty());
  QTest::mouseMove(Find("Pic2"), QPoint(250, 200));
  const QImage shot = form_->grab().toImage();
  QCOMPARE(shot.size() / shot.devicePixelRatio(), QSize(1197, 730));
  QVERIFY(shot.save("/tmp/form1.png"));
}

void Form1Test::ClosingTheMainWindowQuits() {
  // The pattern editor is open; closing the main window still ends the program and the
  // editor closes with it.
  tvcpix::Form2 editor(model_.get());
  editor.show();
  QTimer::singleShot(0, form_.get(), [this] { form_->close(); });
  QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(7); });
  QCOMPARE(QCoreApplication::exec(), 0);
  QVERIFY(!editor.isVisible());
}

QTEST_MAIN(Form1Test)
#include "gui_form1_test.moc"
