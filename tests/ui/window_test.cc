// Window tests of the main window, the form in it and the pattern editor, driven by real mouse
// and key events: the layout, every menu command and shortcut, the file list, sliders,
// swatches, the probe and magnifier, undo and redo, the copied command line, saving and
// exporting safely, opening from the command line and the Perceptual panel.
#include <QtTest>
#include <QtWidgets>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <tuple>

#include "dither/pattern_set.h"
#include "engine/model.h"
#include "engine/pattern_editor.h"
#include "ui/form1.h"
#include "ui/form2.h"
#include "ui/main_window.h"
#include "ui/perceptual_panel.h"
#include "ui/surface_view.h"

namespace tvcpix {
namespace {

const QColor kGrey(64, 64, 64), kBlack(0, 0, 0), kBlue(0, 0, 255), kWhite(255, 255, 255),
    kRed(255, 0, 0), kDarkRed(147, 0, 0), kMidRed(201, 0, 0);  // M(k) of dark red with red
constexpr int kBlueBlue = PatternIndex(8, 8), kDarkRedRed = PatternIndex(2, 9),
              kWhiteWhite = PatternIndex(14, 14);

QColor ToQColor(ColorValue c) { return QColor(RedOf(c), GreenOf(c), BlueOf(c)); }
QColor BackColor(const QWidget* w) { return w->palette().color(QPalette::Window); }
// The colour a widget shows at its centre, as painted.
QColor Seen(QWidget* w) { return w->grab().toImage().pixelColor(w->width() / 2, w->height() / 2); }
QImage Rgb888(const QImage& image) { return image.convertToFormat(QImage::Format_RGB888); }
QImage Shot(QWidget* w) { return Rgb888(w->grab().toImage()); }
QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
bool WriteAll(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Upright bands of black, blue, mid red and white; at 512 x 480 edges fall on preview cells.
QImage Bands(int w = 512, int h = 480) {
  QImage image(w, h, QImage::Format_RGB888);
  const QColor colours[] = {kBlack, kBlue, kMidRed, kWhite};
  for (int b = 0; b < 4; ++b) QPainter(&image).fillRect(b * w / 4, 0, w / 4, h, colours[b]);
  return image;
}

// The magnifier as described: the 5 x 5 pixels round (x, y) at 24 x 24, white outside, framed.
QImage Magnified(const Surface& s, long long x, long long y, QColor inner, QColor outer) {
  QImage z(120, 120, QImage::Format_RGB888);
  for (int v = 0; v < 120; ++v)
    for (int u = 0; u < 120; ++u) {
      const long long sx = x - 2 + u / 24, sy = y - 2 + v / 24;
      const bool in = sx >= 0 && sy >= 0 && sx < s.width() && sy < s.height();
      z.setPixelColor(u, v, in ? ToQColor(PixelAt(s, int(sx), int(sy))) : kWhite);
    }
  for (const auto& [a, b, c] : {std::tuple(48, 70, inner), std::tuple(47, 71, outer)})
    for (int t = a; t <= b; ++t)
      for (const QPoint q : {QPoint(t, a), QPoint(t, b), QPoint(a, t), QPoint(b, t)})
        z.setPixelColor(q, c);
  return z;
}

// w as "name [parent] x,y wxh 'caption' state" (parent unless Form1); as in its row, -1 is a
// free width (w lies inside its parent) and -1x-1 anywhere inside it.
QString Describe(const QWidget* w, const QString& row) {
  QRect g = w->geometry();
  if (row.contains(" -1x") && w->parentWidget()->rect().contains(g))
    g = row.contains(" -1x-1 ") ? QRect(0, 0, -1, -1) : QRect(g.x(), g.y(), -1, g.height());
  QString caption = w->property(w->inherits("QGroupBox") ? "title" : "text").toString(), state;
  if (auto* s = qobject_cast<const QScrollBar*>(w))
    caption = QString::asprintf("%d in %d..%d by %d/%d", s->value(), s->minimum(), s->maximum(),
                                s->singleStep(), s->pageStep());
  if (!w->isEnabled()) state += " disabled";
  if (!w->isVisible()) state += " hidden";
  if (w->property("checkable").toBool())
    state += w->property("checked").toBool() ? " checked" : " unchecked";
  const QString p = w->parentWidget()->objectName(), parent = p == "Form1" ? "" : " " + p;
  return QString::asprintf("%s%s %d,%d %dx%d '%s'%s", qPrintable(w->objectName()),
                           qPrintable(parent), g.x(), g.y(), g.width(), g.height(),
                           qPrintable(caption), qPrintable(state));
}

// The expected controls, each as Describe writes it.
QStringList LayoutTable() {
  QStringList t =
      QString(
          "Pic5 8,8 512x480 '';Pic2 528,8 512x480 '';TVC2 8,8 512x240 '';TVC4 8,248 256x240 '';"
          "TVC16 392,248 128x240 '';PicZ 608,520 120x120 '' hidden;PicZZ 736,520 120x120 '' hidden;"
          "File2 8,496 137x201 '';Command5 8,704 137x25 'refresh';Command6 448,528 73x33 'Set';"
          "Command3 528,528 73x33 'Save';Command7 528,568 73x33 'Save As';"
          "Frame3 1048,8 145x289 'Color Palette';Frame4 Frame3 80,32 57x81 '' disabled;"
          "Frame5 Frame3 80,152 57x49 '' disabled;Label4 Frame3 80,256 57x17 '';"
          "Frame2 1048,304 145x81 'TVC MODE';Frame1 1048,392 145x337 'DITHER MODE';"
          "Label5 168,496 65x17 'Colors Used:';Label6 240,496 73x17 '0';"
          "Label8 528,496 65x17 'Colors Used:';Label7 600,496 73x17 '0';"
          "Label13 528,608 73x17 'bmp, bin, tim';Shape1 864,504 33x33 '';Shape2 912,504 17x17 '';"
          "Shape3 928,504 17x17 '';Shape4 912,520 17x17 '';Shape5 928,520 17x17 '';"
          "Label9 912,544 33x17 '0';Pic9 Form2 0,0 312x312 '';"
          "Command6 Form2 248,328 73x33 'All On';Command7 Form2 248,368 73x33 'All Off';"
          "Label6 Form2 168,368 33x17 'used :';Label7 Form2 200,368 33x17 '0'")
          .split(';');
  const char* tones[] = {"Brightness", "Gamma", "Color", "Contrast"};
  for (int i = 0; i < 4; ++i)
    t << QString::asprintf("Frame%d 160,%d 281x41 '%s'", 6 + i, 520 + 40 * i, tones[i])
      << QString::asprintf("HScroll%d Frame%d 8,16 209x17 '50 in 0..100 by 1/10'", i + 1, 6 + i)
      << QString::asprintf("Text%d Frame%d 232,16 33x19 '50' disabled", i + 1, 6 + i);
  for (int r = 1; r <= 3; ++r)  // 16, 4 and 2 swatches in frames 3, 4 and 5
    for (int i = 0; i < (r == 1 ? 16 : 8 - 2 * r); ++i)
      t << QString::asprintf("Label%d(%d) Frame%d %d,%d 57x17 ''%s", r, i, r + 2, r == 1 ? 8 : 0,
                             (r == 1 ? 16 : 8) + 16 * i, r == 1 ? "" : " disabled");
  const char* modes[] = {"Graphics 2", "Graphics 4", "Graphics 16"};
  for (int i = 0; i < 3; ++i)
    t << QString::asprintf("Option2(%d) Frame2 8,%d 81x17 '%s' %s", i, 24 + 16 * i, modes[i],
                           i == 2 ? "checked" : "unchecked");
  const QStringList methods =
      QString(
          "Atkinson,Floyd,Treshold,Treshold+Noise,Halftone 2x2,Halftone 3x3,"
          "Bayer 2x2,Bayer 4x4,Bayer 8x8,News 4x4,Sierra,Burkles,Stucky,"
          "Jarvis,Sierra Lite,Sierra2 Row,Pattern TVC")
          .split(',');
  for (int i = 1; i <= 17; ++i)
    t << QString::asprintf("Option1(%d) Frame1 16,%d -1x17 '%s' %s", i, i <= 16 ? 8 + 16 * i : 288,
                           qPrintable(methods[i - 1]), i == 17 ? "checked" : "unchecked");
  return t;
}

}  // namespace

class WindowTest : public QObject {
  Q_OBJECT

 private:
  template <typename T = QWidget>
  T* Find(const QString& name) {
    T* w = window_->findChild<T*>(name);
    if (w == nullptr) w = editor_->findChild<T*>(name);
    if (w == nullptr) qFatal("no control %s", qPrintable(name));
    return w;
  }
  QAction* Action(const QString& name) { return Find<QAction>(name); }
  Form1* Form() { return window_->form(); }
  QWidget* InEditor(const char* name) { return editor_->findChild<QWidget*>(name); }
  QString Text(const QString& name) { return Find<QLabel>(name)->text(); }
  QString EditorCount() { return qobject_cast<QLabel*>(InEditor("Label7"))->text(); }
  void Key(const QString& keys) {  // shortcuts one after another, ";" between them
    for (const QString& k : keys.split(';')) QTest::keySequence(window_.get(), QKeySequence(k));
  }
  void Click(QWidget* w, Qt::MouseButton button = Qt::LeftButton, QPoint at = QPoint()) {
    QTest::mouseClick(w, button, Qt::NoModifier, at.isNull() ? w->rect().center() : at);
  }
  void Click(const QString& name) { Click(Find(name), Qt::LeftButton, QPoint(6, 8)); }
  void ClickFile(const QString& name) {
    auto* list = Find<QListWidget>("File2");
    const QList<QListWidgetItem*> items = list->findItems(name, Qt::MatchExactly);
    QCOMPARE(items.size(), 1);
    list->scrollToItem(items.front());
    Click(list->viewport(), Qt::LeftButton, list->visualItemRect(items.front()).center());
  }
  void ClickSwatch(Qt::MouseButton button, int k, int dx = 6, int dy = 6) {
    int i = 0, j = 0;
    PatternPair(k, &i, &j);
    Click(Find("Pic9"), button, QPoint(SwatchLeft(j) + dx, SwatchTop(i) + dy));
  }
  // A pointer movement over the result view; sent directly so that any position can be used.
  void Move(double x, double y, Qt::MouseButtons held = Qt::NoButton) {
    QWidget* view = Find("Pic2");
    QMouseEvent e(QEvent::MouseMove, QPointF(x, y), view->mapToGlobal(QPointF(x, y)), Qt::NoButton,
                  held, Qt::NoModifier);
    QApplication::sendEvent(view, &e);
  }
  QString Listed() {  // the file list's entries, a space between them
    QStringList names;
    for (auto* item : Find<QListWidget>("File2")->findItems("*", Qt::MatchWildcard))
      names << item->text();
    return names.join(' ');
  }
  QString Copy(const QString& name) {  // a sample picture in the scratch folder
    const QString to = samples_.filePath(name);
    QFile::copy(QString(TVCPIX_SAMPLES_DIR) + "/" + name, to);
    return to;
  }
  const PatternFlags& Flags() { return model_->pattern_flags(); }
  int Excluded() { return int(std::count(Flags().excluded.begin(), Flags().excluded.end(), 1)); }
  // The editor shows the model's picture; swatches M(k), white-outlined when switched off.
  bool LooksRight() {
    const QImage shown = Shot(Find("Pic9"));
    for (int k = 0, i = 0, j = 0; k < kPatternCount; ++k) {
      PatternPair(k, &i, &j);
      const QColor c = ToQColor(ColorFromEntry(MatchColor(k)));
      const QPoint corner(SwatchLeft(j), SwatchTop(i));
      if (shown.pixelColor(corner + QPoint(6, 6)) != c ||
          shown.pixelColor(corner + QPoint(12, 5)) != (Flags().excluded[k] ? kWhite : c))
        return false;
    }
    return shown == Rgb888(Find<PictureView>("Pic9")->ToImage());
  }
  QString Slider(int n) {  // bar n's value, the model's value and the text box
    return QString::asprintf("%d %d %s", Find<QScrollBar>(QString("HScroll%1").arg(n))->value(),
                             model_->slider(n),
                             qPrintable(Find<QLineEdit>(QString("Text%1").arg(n))->text()));
  }
  static QString Thrice(int v) { return QString("%1 %1 %1").arg(v); }
  QString Chosen(const QString& start) {  // a save dialog: where it opened, what is typed
    return (starts_ << start, save_paths_.isEmpty() ? QString() : save_paths_.takeFirst());
  }
  void MakeWindow() {
    window_.reset();  // the windows go before the model they show
    editor_.reset();
    model_ = std::make_unique<Model>();
    editor_ = std::make_unique<Form2>(model_.get());
    window_ = std::make_unique<MainWindow>(model_.get(), editor_.get());
    Form()->show_message = [this](QMessageBox::Icon, const QString& text) { messages_ << text; };
    Form()->ask_yes_no = [this](const QString& text) { return (questions_ << text, answer_); };
    Form()->choose_save_path = [this](const QString& start) { return Chosen(start); };
    Form()->choose_folder = [this](const QString&) { return samples_.path(); };
    window_->choose_open_file = [this](const QString&) { return open_path_; };
    window_->choose_export_path = [this](const QString& start, QString* filter) {
      return (*filter = export_filter_, Chosen(start));
    };
    window_->show_text = [this](const QString& title, const QString&) { messages_ << title; };
    Form()->set_program_folder(program_.path());
    window_->show();                    // the editor with it
    window_->FitTo(QSize(1912, 1040));  // a desktop screen, not the offscreen default
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
  }
  // With TVCPIX_SCREENSHOTS=DIR the window is grabbed to DIR/name, to look at by eye.
  void ShotIfAsked(const QString& name) {
    const QString dir = qEnvironmentVariable("TVCPIX_SCREENSHOTS");
    if (!dir.isEmpty()) QVERIFY(window_->grab().save(QDir(dir).filePath(name)));
  }

  QTemporaryDir tmp_;
  const QString pictures_ = tmp_.filePath("pictures");  // made pictures the list shows first
  QDir samples_{tmp_.filePath("samples")}, program_{tmp_.filePath("program")};
  std::unique_ptr<Model> model_;
  std::unique_ptr<Form2> editor_;
  std::unique_ptr<MainWindow> window_;
  QStringList messages_, questions_, save_paths_, starts_;  // starts_: where the dialog opened
  QString open_path_, export_filter_;
  bool answer_ = false;

 private slots:
  void initTestCase() {
    // Settings go to a scratch folder, never the user's.
    QCoreApplication::setOrganizationName("tvcpix-test");
    QCoreApplication::setApplicationName("tvcpix-test");
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, tmp_.filePath("settings"));
    const QDir dir(pictures_);
    QVERIFY(QDir().mkpath(samples_.path()) && QDir().mkpath(program_.path()));
    QVERIFY(QDir().mkpath(pictures_) && dir.mkdir("folder.bmp"));
    QVERIFY(Bands(64, 48).save(dir.filePath("b_small.bmp")));
    QVERIFY(Bands().save(dir.filePath("a_bands.BMP"), "BMP"));
    for (const char* f : {"broken.jpg", "notes.txt"}) QVERIFY(WriteAll(dir.filePath(f), "text"));
    QVERIFY(QFile::link("/dev/zero", dir.filePath("zero.bmp")));
    QVERIFY(WriteAll(dir.filePath("short.tim"), QByteArray(16399, '\0')));
  }

  void init() {
    window_.reset();  // it keeps its settings when it goes
    QSettings().clear();
    for (QDir* dir : {&samples_, &program_})
      for (const QString& name : dir->entryList(QDir::Files)) dir->remove(name);
    for (QStringList* l : {&messages_, &questions_, &save_paths_, &starts_}) l->clear();
    answer_ = false;
    export_filter_ = "TVC cassette (*.cas)";
    MakeWindow();
    Form()->SetFileListFolder(pictures_);
  }

  void LayoutAndStart() {
    Key("Ctrl+P");  // the editor
    QVERIFY(Form()->windowTitle() == "tvcpix 1.03" && editor_->windowTitle() == "TVC Pattern");
    QVERIFY(Form()->size() == QSize(1197, 730) && Form()->minimumSize() == Form()->maximumSize() &&
            editor_->size() == QSize(333, 414));
    QWidget* const w[] = {Form(), editor_.get()};
    for (const QString& row : LayoutTable()) {
      const auto found = w[row.contains(" Form2 ")]->findChildren<QWidget*>(row.split(' ')[0]);
      QVERIFY2(found.size() == 1, qPrintable(row));
      QCOMPARE(Describe(found[0], row), row);
    }
    for (int i = 0; i < 16; ++i)  // the start: swatches filled, nothing converted, views grey
      QCOMPARE(BackColor(Find(QString("Label1(%1)").arg(i))), ToQColor(model_->label1(i)));
    for (const QPoint p : {QPoint(8, 8), QPoint(519, 487), QPoint(828, 208), QPoint(1039, 487)})
      QCOMPARE(Form()->grab().toImage().pixelColor(p), kGrey);
    QVERIFY(BackColor(Find("Label4")) == kGrey && model_->convert_count() == 0);
  }

  void MenusCarryTheShortcuts() {
    for (const QString& row :
         QString(
             "actionOpen Ctrl+O;actionOpenFolder Ctrl+Shift+O;actionSave Ctrl+S;"
             "actionSaveAs Ctrl+Shift+S;actionExport Ctrl+E;actionQuit Ctrl+Q;actionUndo Ctrl+Z;"
             "actionRedo Ctrl+Shift+Z, Ctrl+Y;actionPatternEditor Ctrl+P")
             .split(';')) {
      QStringList shown;
      for (const QKeySequence& k : Action(row.section(' ', 0, 0))->shortcuts())
        shown << k.toString();
      QCOMPARE(shown.join(", "), row.section(' ', 1));
    }
  }

  void FileList() {
    QCOMPARE(Listed(), QString("a_bands.BMP b_small.bmp broken.jpg short.tim zero.bmp"));
    QCOMPARE(QDir::currentPath(), pictures_);
    // Focus makes the list pick a current entry; that must not load it.
    auto* list = Find<QListWidget>("File2");
    Find("Command5")->setFocus();
    list->setFocus(Qt::TabFocusReason);
    QTest::qWait(20);
    QVERIFY(list->currentRow() == 0 && model_->convert_count() == 0);
    // A click loads from the list's folder (not the current one), resets the sliders, converts.
    QVERIFY(Bands(32, 32).save(tmp_.filePath("b_small.bmp")) && QDir::setCurrent(tmp_.path()));
    Find<QScrollBar>("HScroll1")->setValue(60);
    ClickFile("b_small.bmp");
    Model reference;
    reference.MoveSlider(1, 60);
    reference.LoadSourcePicture(Surface(model_->pic1()));
    QVERIFY(model_->pic1().width() == 64 && model_->pic2() == reference.pic2());
    QCOMPARE(model_->convert_count(), reference.convert_count());
    QVERIFY(Slider(1) == Thrice(50) && Text("Label6") == "4");
    QTest::keyClick(list, Qt::Key_Up);  // arrow keys move through the list and load like clicks
    QCOMPARE(model_->pic1().width(), 512);
    // Unloadable files: one message with name and reason, and nothing changes.
    Click("Option2(1)");
    Find<QScrollBar>("HScroll2")->setValue(70);
    auto state = [this, m = model_.get()] {  // all a load would change
      return std::tuple(m->pic1(), m->pic2(), m->convert_count(), m->mode(), Slider(2),
                        Shot(Find("Pic5")), Text("Label6"));
    };
    const auto before = state();
    for (const auto& [file, reason] : {std::pair("broken.jpg", "not a picture"),
                                       {"zero.bmp", "not a regular file"},
                                       {"short.tim", "16399 bytes"}}) {
      ClickFile(file);
      const QString text = messages_.join("|");
      messages_.clear();
      QVERIFY2(text.startsWith(QDir(pictures_).filePath(file) + ": ") && text.contains(reason) &&
                   !text.contains('|') && state() == before,
               qPrintable(text));
    }
  }

  // Open, the list, the caption and status line, recent files kept across a restart.
  void OpenShowsAndRemembers() {
    open_path_ = Copy("rose_70x46.bmp");
    Key("Ctrl+O");
    QCOMPARE(QString::fromStdString(model_->source_path()), open_path_);
    QCOMPARE(window_->windowTitle(), QString("rose_70x46.bmp - tvcpix 1.03"));
    QCOMPARE(Form()->file_list_folder(), samples_.path());
    QVERIFY(Text("StatusFile").contains("70 × 46"));
    QCOMPARE(Text("StatusMode"), QString("Graphics 16, Pattern TVC"));
    QVERIFY(Text("StatusTime").endsWith(" ms"));
    // The probe reads source and result colours and the pattern under the pointer.
    QTest::mouseMove(Find("Pic2"), QPoint(100, 100));
    const QString probe = Text("StatusProbe");
    QVERIFY2(probe.startsWith("source #") && probe.contains(" TVC #") &&
                 probe.endsWith("pattern " + QString::fromStdString(model_->probe_caption())),
             qPrintable(probe));
    // Ctrl+Shift+O is the folder chooser now.
    Form()->SetFileListFolder(tmp_.path());
    Key("Ctrl+Shift+O");
    QCOMPARE(Form()->file_list_folder(), samples_.path());
    // A new start: the recent file and the folder, but every setting as designed.
    Click("Option2(1)");
    MakeWindow();
    QCOMPARE(window_->recent_files(), QStringList{open_path_});
    QCOMPARE(Form()->file_list_folder(), samples_.path());
    QVERIFY(model_->mode() == TvcMode::kGraphics16 && model_->source_path().empty());
    Action("actionRecent1")->trigger();
    QCOMPARE(QString::fromStdString(model_->source_path()), open_path_);
  }

  // A missing file is one message; a folder is listed; a file loads as a click in its folder's
  // list would, the entry selected.
  void OpeningFromTheCommandLine() {
    Copy("milla_211x242.bmp");
    QDir::setCurrent(tmp_.path());
    for (const auto& [argument, loads, ok] : {std::tuple("no-such.jpg", false, false),
                                              {"samples", false, true},
                                              {"samples/milla_211x242.bmp", true, true}}) {
      Form()->SetFileListFolder(tmp_.path());
      QCOMPARE(window_->OpenArguments({argument}), ok);
      QCOMPARE(!model_->source_path().empty(), loads);
      QCOMPARE(messages_.size(), 1);
      QCOMPARE(Form()->file_list_folder(), ok ? samples_.path() : tmp_.path());
      if (loads)
        QCOMPARE(Find<QListWidget>("File2")->currentItem()->text(), QString("milla_211x242.bmp"));
    }
  }

  void SlidersConvertOncePerChange() {
    // (bar, key, presses, value, conversions); Qt's horizontal bars would invert the arrows.
    for (const auto& [n, key, presses, value, changes] : {std::tuple(1, Qt::Key_Right, 1, 51, 1),
                                                          {4, Qt::Key_PageDown, 2, 30, 2},
                                                          {4, Qt::Key_End, 2, 100, 1}}) {
      const auto before = model_->convert_count();
      for (int i = 0; i < presses; ++i) QTest::keyClick(Find(QString("HScroll%1").arg(n)), key);
      QCOMPARE(Slider(n), Thrice(value));
      QCOMPARE(model_->convert_count() - before, std::uint64_t(changes));
    }
    // A drag from the thumb (centred at 50): text and model follow, one conversion per change.
    auto* bar = Find<QScrollBar>("HScroll3");
    QSignalSpy moved(bar, &QScrollBar::valueChanged);
    const auto before = model_->convert_count();
    QPoint p = bar->rect().center();
    QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, p);
    for (int step = 0; step < 4; ++step) {
      QTest::mouseMove(bar, p += QPoint(12, 0));
      QCOMPARE(Slider(3), Thrice(bar->value()));
    }
    QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, p);
    QVERIFY(moved.count() >= 3 && bar->value() > 55);
    QCOMPARE(model_->convert_count() - before, std::uint64_t(moved.count()));
  }

  // The sliders say what acts; "Set" says what it did; Combine is remembered.
  void ToneSlidersDoNotLie() {
    open_path_ = Copy("coffee_600x400.jpg");
    Key("Ctrl+O");
    auto* text1 = Find<QLineEdit>("Text1");
    const QColor normal = text1->palette().color(QPalette::Disabled, QPalette::Text);
    QTest::keyClick(Find("HScroll1"), Qt::Key_PageUp);
    QTest::keyClick(Find("HScroll2"), Qt::Key_PageDown);
    QVERIFY(text1->palette().color(QPalette::Disabled, QPalette::Text) != normal);
    QVERIFY2(text1->toolTip().contains("does not act") && text1->toolTip().contains("Gamma"),
             qPrintable(text1->toolTip()));
    QCOMPARE(Find<QLineEdit>("Text2")->palette().color(QPalette::Disabled, QPalette::Text), normal);
    Click("Command6");
    QVERIFY2(window_->statusBar()->currentMessage().contains("Gamma 40"),
             qPrintable(window_->statusBar()->currentMessage()));
    Action("actionCombineTones")->trigger();
    QVERIFY(model_->combine_tones() && QSettings().value("combineTones").toBool());
    MakeWindow();
    QVERIFY(model_->combine_tones() && Action("actionCombineTones")->isChecked());
  }

  void SwatchesAndFramesFollowTheMode() {
    const ColorValue red = model_->label1(12), old4 = model_->label2(2), old2 = model_->label3(0);
    auto on = [this](const char* frame) { return Find(frame)->isEnabled(); };
    // A pick changes only the current colour; in "Graphics 16" neither row takes it.
    for (const char* name : {"Label1(12)", "Label2(2)", "Label3(0)"}) Click(name);
    QCOMPARE(BackColor(Find("Label4")), ToQColor(red));
    QVERIFY(model_->label2(2) == old4 && model_->label3(0) == old2 && model_->convert_count() == 0);
    // "Graphics 4" converts, then enables only the 4-colour row; a pick there converts again.
    Click("Option2(1)");
    QVERIFY(model_->convert_count() == 1 && on("Frame4") && !on("Frame5"));
    for (const char* name : {"Label2(2)", "Label3(1)"}) Click(name);
    QVERIFY(BackColor(Find("Label2(2)")) == ToQColor(red) && model_->convert_count() == 2);
    // "Graphics 2": the 2-colour row instead; colours stay shown on rows disabled again.
    Click("Option2(0)");
    QVERIFY(!on("Frame4") && on("Frame5"));
    for (const char* name : {"Label1(3)", "Label3(1)", "Option2(2)"}) Click(name);
    QVERIFY(!on("Frame4") && !on("Frame5") && BackColor(Find("Label2(2)")) == ToQColor(red));
    QCOMPARE(BackColor(Find("Label3(1)")), ToQColor(model_->label1(3)));
  }

  // "Save" writes the result shown into the program's folder, replacing it unasked, and the list
  // moves there; into an unwritable program folder it falls back to the per-user one, made on
  // demand, with one box per session, then the status line.
  void SaveAndItsFallback() {
    ClickFile("b_small.bmp");
    for (int twice = 0; twice < 2; ++twice) Click("Command3");
    QVERIFY2(messages_.isEmpty() && questions_.isEmpty(), qPrintable(messages_.join("\n")));
    QCOMPARE(Rgb888(QImage(program_.filePath("out24.bmp"))),
             Rgb888(Find<PictureView>("Pic2")->ToImage()));
    QCOMPARE(QDir::currentPath(), program_.absolutePath());
    QCOMPARE(Listed(), QString("out24.bmp out24.tim"));
    const QString fallback = QDir(tmp_.filePath("home/Pictures/tvcpix")).absolutePath();
    Form()->set_program_folder(tmp_.filePath("missing-program-folder"));
    Form()->set_fallback_folder(fallback);
    Key("Ctrl+S;Ctrl+S;Ctrl+S");
    QVERIFY(messages_.size() == 1 && messages_[0].contains(fallback));
    QVERIFY(window_->statusBar()->currentMessage().contains("cannot be written"));
    QVERIFY(QFileInfo::exists(fallback + "/out24.tim") && QDir::currentPath() == fallback);
  }

  void SaveAsAndExport_data() {
    QTest::addColumn<QString>("filter");   // the export's file type; empty: Save As
    QTest::addColumn<QString>("typed");    // in the samples folder; empty: cancelled
    QTest::addColumn<QString>("asked");    // the file the one question names, or empty
    QTest::addColumn<QString>("written");  // the files written, or empty
    QTest::addColumn<QString>("message");  // (a part of) the one message, or empty
    const QString lost = samples_.filePath("no-such-folder/holiday"), parrot = "parrot_495x498.jpg",
                  cas = "TVC cassette (*.cas)", three = "%1.bmp %1.bin %1.tim";
    // clang-format off
    QTest::newRow("cancelled") << "" << "" << "" << "" << "";
    QTest::newRow("plain") << "" << "astro" << "" << three.arg("astro") << "";
    QTest::newRow("typed upper case BIN") << "" << "astro.BIN" << "" << three.arg("astro") << "";
    QTest::newRow("source's name and .bmp") << "" << parrot + ".bmp" << "" << three.arg(parrot)
                                            << "";
    QTest::newRow("source by its own name") << "" << "photo" << "" << "" << "being converted";
    QTest::newRow("missing folder") << "" << "no-such-folder/holiday" << "" << ""
        << QString("Error #%1 - %2\n%3.bmp: %2 (no file was replaced)")
               .arg(ENOENT).arg(std::strerror(ENOENT), lost);
    QTest::newRow("over a file, No") << "" << "holiday" << "holiday.bin" << "" << "";
    QTest::newRow("over a file, Yes") << "" << "holiday" << "holiday.bin" << three.arg("holiday")
                                      << "";
    QTest::newRow("cassette") << cas << "screen" << "" << "screen.cas" << "";
    QTest::newRow("audio") << "TVC tape audio (*.wav)" << "screen" << "" << "screen.wav" << "";
    QTest::newRow("export over a file") << cas << "old.cas" << "old.cas" << "old.cas" << "";
    QTest::newRow("export over the source") << cas << "source.cas" << "" << "" << "being converted";
    // clang-format on
  }
  // Suffixes typed are stripped; never over the source, even one named like an output
  // (photo.bmp, source.cas); one question before replacing a file, No keeping the user's.
  void SaveAsAndExport() {
    QFETCH(QString, filter);
    QFETCH(QString, typed);
    QFETCH(QString, asked);
    QFETCH(QString, written);
    QFETCH(QString, message);
    Copy("parrot_495x498.jpg");
    for (const auto& [name, as] :
         {std::pair("milla_211x242.bmp", "photo.bmp"), {"rose_70x46.bmp", "source.cas"}})
      QVERIFY(QFile::copy(QString(TVCPIX_SAMPLES_DIR) + "/" + name, samples_.filePath(as)));
    QVERIFY(WriteAll(samples_.filePath("holiday.bin"), "the user's own file") &&
            WriteAll(samples_.filePath("old.cas"), ""));
    const QString from = samples_.filePath(!filter.isEmpty()  ? "source.cas"
                                           : typed == "photo" ? "photo.bmp"
                                                              : "parrot_495x498.jpg");
    const QByteArray loaded = ReadAll(from);
    QVERIFY(Form()->LoadPictureFile(from));
    QStringList files = samples_.entryList(QDir::Files | QDir::Hidden);
    answer_ = written.contains(asked);  // Yes exactly where the file asked about is written
    export_filter_ = filter;
    if (!typed.isEmpty()) save_paths_ << samples_.filePath(typed);
    Key(filter.isEmpty() ? "Ctrl+Shift+S" : "Ctrl+E");
    // The dialog starts beside the loaded picture, its name suggested.
    QCOMPARE(starts_, QStringList{samples_.filePath(QFileInfo(from).completeBaseName())});
    QCOMPARE(questions_.size(), asked.isEmpty() ? 0 : 1);
    QVERIFY(questions_.join("").contains(asked));
    QVERIFY2(message.isEmpty() ? messages_.isEmpty()
                               : messages_.size() == 1 && messages_[0].contains(message),
             qPrintable(messages_.join('|')));
    QCOMPARE(ReadAll(from), loaded);
    QCOMPARE(ReadAll(samples_.filePath("holiday.bin")) == "the user's own file",
             !written.contains("holiday.bin"));
    if (!written.isEmpty()) {
      const QString first = written.section(' ', 0, 0);  // its first bytes name its type
      const QByteArray magic = first.endsWith(".bmp")   ? "BM"
                               : first.endsWith(".wav") ? "RIFF"
                                                        : QByteArray("\x11\x00", 2);
      QVERIFY(ReadAll(samples_.filePath(first)).startsWith(magic));
      files << written.split(' ');
      if (filter.isEmpty())  // the list moves to the folder saved into
        QVERIFY(model_->output_base_path() == samples_.filePath(first.chopped(4)).toStdString() &&
                QDir::currentPath() == samples_.path());
      else
        QVERIFY(window_->statusBar()->currentMessage().contains("written: Graphics 16, "));
    }
    files.removeDuplicates();
    files.sort();
    QCOMPARE(samples_.entryList(QDir::Files | QDir::Hidden), files);  // no temporary file left
  }

  // Undo and redo restore views, captions, sliders and buttons, and name the step.
  void UndoAndRedo() {
    open_path_ = Copy("chelsea_451x300.bmp");
    Key("Ctrl+O");
    const QImage loaded = Shot(Find("Pic2"));
    for (int i = 0; i < 2; ++i) QTest::keyClick(Find("HScroll1"), Qt::Key_PageDown);  // one step
    for (const char* name : {"Option1(2)", "Option2(1)"}) Click(name);
    const QImage floyd4 = Shot(Find("Pic2"));
    const QString colours = Text("Label7");
    Key("Ctrl+Z;Ctrl+Z");
    QCOMPARE(Action("actionUndo")->text(), QString("&Undo Brightness 30"));
    QCOMPARE(Action("actionRedo")->text(), QString("&Redo Floyd"));
    QVERIFY(Find<QRadioButton>("Option1(17)")->isChecked() && !Find("Frame4")->isEnabled());
    Key("Ctrl+Z");
    QCOMPARE(Slider(1), Thrice(50));
    QCOMPARE(Shot(Find("Pic2")), loaded);
    Key("Ctrl+Y;Ctrl+Shift+Z;Ctrl+Y");
    QVERIFY(Find<QRadioButton>("Option2(1)")->isChecked() && Find("Frame4")->isEnabled());
    QVERIFY(Text("Label7") == colours && !Action("actionRedo")->isEnabled());
    QCOMPARE(Shot(Find("Pic2")), floyd4);
    // Editor edits are steps too, and the editor follows their undo.
    Click(InEditor("Command7"));  // "All Off"
    QCOMPARE(Action("actionUndo")->text(), QString("&Undo All Off"));
    Key("Ctrl+Z");
    QVERIFY(EditorCount() != "0" && EditorCount() == model_->patterns_used_caption().c_str());
  }

  // Editor clicks: hits (also on a swatch's outline) and misses, left/right/middle, All On/Off.
  void EditorClicks() {
    // Gaps, below the triangle and beside it: nothing happens.
    for (const QPoint at : {QPoint(21, 11), QPoint(7, 17), QPoint(54, 117), QPoint(301, 11)})
      Click(Find("Pic9"), Qt::LeftButton, at);
    QVERIFY(Excluded() == 0 && model_->convert_count() == 0);
    const int k = PatternIndex(2, 11), p = kDarkRedRed, same = PatternIndex(6, 6);
    // Left switches, also on the outline's corner pixels; the last swatch hits too.
    ClickSwatch(Qt::LeftButton, k, 0, 0);
    QVERIFY(Excluded() == 1 && Flags().excluded[k] == 1 && LooksRight());
    ClickSwatch(Qt::LeftButton, k, 12, 12);
    ClickSwatch(Qt::LeftButton, kWhiteWhite, 12, 0);
    QVERIFY(Excluded() == 1 && EditorCount() == "0");  // stale until the next redraw
    // Right swaps A and B and toggles the mark, also for equal pairs; middle only converts.
    const PaletteEntry a = model_->pattern_set().A(p), b = model_->pattern_set().B(p);
    ClickSwatch(Qt::RightButton, p);
    ClickSwatch(Qt::RightButton, same);
    QVERIFY(model_->pattern_set().A(p) == b && model_->pattern_set().B(p) == a && LooksRight());
    QVERIFY(Flags().swapped[p] == 1 && Flags().swapped[same] == 1 && Excluded() == 1);
    ClickSwatch(Qt::RightButton, p, 0, 12);
    ClickSwatch(Qt::MiddleButton, same);
    QVERIFY(model_->pattern_set().A(p) == a && Flags().swapped[p] == 0 && Excluded() == 1);
    QCOMPARE(model_->convert_count(), 7u);  // every click converted once
    // "All Off" and "All On" after a load, which kept only the bands' four patterns on.
    ClickFile("a_bands.BMP");
    QVERIFY(EditorCount() == "4" && Excluded() == 116);
    Click(InEditor("Command7"));
    QVERIFY(EditorCount() == "0" && Excluded() == 120 && LooksRight());
    Click(InEditor("Command6"));
    QVERIFY(EditorCount() == "120" && Excluded() == 0 && LooksRight());
  }

  // Pointer moves over the result view against the plain reference, then presses on it.
  void ProbeMagnifierAndResultClicks() {
    ClickFile("a_bands.BMP");
    // (x, y, Label9, Shape1, Shape2/5, Shape3/4): fractions round down, black is no failed read;
    // outside (the int limits once overflowed the magnifier) the probe keeps what it showed.
    const QColor r = kRed, d = kDarkRed, m = kMidRed;
    const std::tuple<double, double, int, QColor, QColor, QColor> cases[] = {
        {127.9, 100, 0, kBlack, kBlack, kBlack},
        {128, 50.5, kBlueBlue, kBlue, kBlue, kBlue},
        {511.9, 479.9, kWhiteWhite, kWhite, kWhite, kWhite},
        {300, 200, kDarkRedRed, m, r, d},
        {-0.5, 10, kDarkRedRed, m, r, d},
        {2147483647.0, 2147483647.0, kDarkRedRed, m, r, d},
        {-2147483648.0, 7, kDarkRedRed, m, r, d}};
    for (const auto& [fx, fy, pattern, source, a, b] : cases) {
      Move(fx, fy, Qt::LeftButton);
      const QColor seen[] = {source, a, b, b, a};
      for (int n = 1; n <= 5; ++n) QCOMPARE(Seen(Find(QString("Shape%1").arg(n))), seen[n - 1]);
      const long long x = std::floor(fx), y = std::floor(fy);
      QVERIFY2(Text("Label9") == QString::number(pattern) &&
                   Shot(Find("PicZ")) == Magnified(model_->pic5(), x, y, kWhite, kBlack) &&
                   Shot(Find("PicZZ")) == Magnified(model_->pic2(), x, y, kBlack, kWhite),
               qPrintable(QString("at %1,%2").arg(fx).arg(fy)));
    }
    // Right swaps A and B without a mark: every cell of the band takes the other colour.
    QWidget* pic2 = Find("Pic2");
    auto press = [&](Qt::MouseButton button) { Click(pic2, button, QPoint(300, 200)); };
    const QImage before = pic2->grab().toImage();
    press(Qt::RightButton);
    QVERIFY(Flags().swapped[kDarkRedRed] == 0 && Seen(Find("Shape2")) == kDarkRed);
    const QImage swapped = pic2->grab().toImage();
    for (int y = 0; y < 480; y += 3)
      for (int x = 256; x < 384; x += 5)
        QCOMPARE(swapped.pixelColor(x, y), before.pixelColor(x, y) == kRed ? kDarkRed : kRed);
    press(Qt::RightButton);
    QCOMPARE(pic2->grab().toImage(), before);
    // Left switches off, middle on; the editor recounts, band and probe skip a switched-off one.
    for (const auto button : {Qt::LeftButton, Qt::MiddleButton, Qt::LeftButton}) press(button);
    QVERIFY(Flags().excluded[kDarkRedRed] == 1 && EditorCount() == "3" && LooksRight());
    QCOMPARE(pic2->grab().toImage().pixelColor(300, 200), kBlack);
    Move(300, 201);
    QCOMPARE(Text("Label9"), QString("0"));
  }

  // The copied command, run, writes the files "Save" wrote; none where it cannot.
  void CopyCommandLine() {
    open_path_ = Copy("milla_211x242.bmp");
    Key("Ctrl+O");
    for (const char* name : {"Option2(1)", "Option1(11)", "Label1(12)", "Label2(1)"}) Click(name);
    QTest::keyClick(Find("HScroll4"), Qt::Key_PageUp);
    Key("Ctrl+S");
    QApplication::clipboard()->clear();
    Action("actionCopyCommandLine")->trigger();
    const QString command = QApplication::clipboard()->text();
    QVERIFY2(command.contains("--contrast 60") && command.contains("--palette4 0,12,9,10"),
             qPrintable(command));
    const QString base = program_.filePath("out24");
    QMap<QString, QByteArray> saved;
    for (const QString ext : {".bmp", ".bin", ".tim"})
      saved[ext] = ReadAll(base + ext), QFile::remove(base + ext);
    // The window's command names "tvcpix-cli"; the test runs the one it was built with.
    const QString run =
        QString(command).replace(QRegularExpression("^tvcpix-cli"), TVCPIX_CLI_PATH);
    QCOMPARE(std::system(qPrintable(run + " >/dev/null")), 0);
    for (const QString& ext : saved.keys()) QCOMPARE(ReadAll(base + ext), saved[ext]);
    // A pattern switched on the result view: nothing copied, the reason shown.
    QTest::mouseClick(Find("Pic2"), Qt::LeftButton, {}, QPoint(50, 50));
    QApplication::clipboard()->setText("before");
    Action("actionCopyCommandLine")->trigger();
    QCOMPARE(QApplication::clipboard()->text(), QString("before"));
    QVERIFY(messages_.size() == 1 && messages_[0].contains("patterns"));
  }

  // Tab goes list, refresh, sliders, ...; a focused swatch is picked with Space; every control
  // explains itself.
  void KeyboardAndTooltips() {
    Find("File2")->setFocus();
    QStringList order;
    for (int i = 0; i < 4; ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      order << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(order, QStringList({"Command5", "HScroll1", "HScroll2", "HScroll3"}));
    Find("Label1(9)")->setFocus();
    QTest::keyClick(Find("Label1(9)"), Qt::Key_Space);
    QCOMPARE(model_->label4(), model_->label1(9));
    for (QWidget* w : Form()->findChildren<QWidget*>())
      if (!w->objectName().isEmpty() && !w->objectName().startsWith("Caption") &&
          !w->objectName().startsWith("qt_"))
        QVERIFY2(!w->toolTip().isEmpty(), qPrintable(w->objectName()));
  }

  // The perceptual methods beside the form: chosen there, their strength shown only for them,
  // and the best palettes offered, applied as swatch clicks and taken back by Undo.
  void PerceptualPanel() {
    open_path_ = Copy("parrot_495x498.jpg");
    Key("Ctrl+O");
    auto* strength_box = Find("StrengthBox");
    QVERIFY(!Find<QRadioButton>("Method18")->isChecked() && !strength_box->isVisible());
    Click("Method18");
    QCOMPARE(model_->method(), DitherMethod::kPerceptual);
    for (int i = 1; i <= kMethodCount; ++i)
      QVERIFY(!Find<QRadioButton>(QString("Option1(%1)").arg(i))->isChecked());
    QVERIFY(strength_box->isVisible() && Text("StrengthLabel").endsWith("(default)"));
    auto* slider = Find<QSlider>("StrengthSlider");
    const int before = slider->value();
    QTest::keyClick(slider, Qt::Key_PageUp);
    QCOMPARE(model_->strength(), before + 10);
    QCOMPARE(Text("StrengthLabel"), QString("Strength %1").arg(before + 10));
    QCOMPARE(QString::fromStdString(model_->undo_name()), QString("Strength %1").arg(before + 10));
    QCOMPARE(Text("StatusMode"), QString("Graphics 16, Perceptual"));
    // Graphics 16 has no palette to choose.
    QVERIFY(!Find("FindBestPalettes")->isEnabled());
    Click("Option2(1)");
    QVERIFY(Find("FindBestPalettes")->isEnabled());
    const std::array<ColorValue, 4> start = {model_->label2(0), model_->label2(1),
                                             model_->label2(2), model_->label2(3)};
    const std::vector<RankedPalette> best = model_->BestPalettes();
    QCOMPARE(int(best.size()), 3);
    Key("Ctrl+B");
    for (int n = 1; n <= 3; ++n) QVERIFY(Find(QString("PaletteChoice%1").arg(n))->isVisible());
    QCOMPARE(model_->label2(0), start[0]);  // offered, not yet applied
    ShotIfAsked("perceptual-panel-1920x1080.png");
    Click("PaletteChoice2");
    for (int i = 0; i < 4; ++i)
      QCOMPARE(model_->label2(i), ColorFromEntry(Tvc16Color(best[1].indices[std::size_t(i)])));
    QCOMPARE(Action("actionUndo")->text(), QString("&Undo Best palette"));
    Key("Ctrl+Z");
    for (int i = 0; i < 4; ++i) QCOMPARE(model_->label2(i), start[std::size_t(i)]);
    // A faithful method hides the strength; the offers belong to the method they were made for.
    Click("Option1(2)");
    QVERIFY(!Find<QRadioButton>("Method18")->isChecked() && !strength_box->isVisible());
    QVERIFY(!Find("PaletteChoice1")->isVisible());
    // The whole form and the panel fit a 1366 x 768 screen's width.
    window_->FitTo(QSize(1366 - 8, 768 - 40));
    auto* area = static_cast<QScrollArea*>(window_->centralWidget());
    QVERIFY(window_->width() <= 1358 && !area->horizontalScrollBar()->isVisible());
    ShotIfAsked("perceptual-panel-1366x768.png");
  }

  void EditorPlacement() {  // beside the window when the screen has room, else on it
    const QRect main(0, 0, 1205, 790);
    for (const QRect screen : {QRect(0, 0, 1366, 768), QRect(0, 0, 1920, 1080)}) {
      bool fits = false;
      const QRect at(tvcpix::EditorPlacement(main, QSize(335, 440), screen, &fits),
                     QSize(335, 440));
      QVERIFY(fits == (screen.width() == 1920) && screen.contains(at) &&
              !(fits && main.intersects(at)));
    }
  }

  // View: the editor reopens, the magnifier shows; Help answers; Quit closes both windows and
  // ends the program.
  void ViewHelpAndQuit() {
    editor_->close();
    Key("Ctrl+P");
    QVERIFY(editor_->isVisible());
    QVERIFY(Find("PicZ")->isHidden() && Find("PicZZ")->isHidden());
    Action("actionMagnifier")->trigger();
    QVERIFY(Find("PicZ")->isVisible() && Find("PicZZ")->isVisible() &&
            Find("CaptionZ")->isVisible());
    Action("actionGuide")->trigger();
    Action("actionAbout")->trigger();
    QCOMPARE(messages_, QStringList({"tvcpix guide", "About tvcpix"}));
    QTimer::singleShot(0, window_.get(), [this] { Key("Ctrl+Q"); });
    QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(7); });
    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY(!window_->isVisible() && !editor_->isVisible());
  }
};

}  // namespace tvcpix

QTEST_MAIN(tvcpix::WindowTest)
#include "window_test.moc"
