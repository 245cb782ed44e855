// Window tests of the main window around the form: every menu command and shortcut, undo and
// redo, the copied command line, saving and exporting safely, opening from the command line.
#include "ui/main_window.h"

#include <QtTest>
#include <QtWidgets>
#include <cstdlib>
#include <memory>

#include "engine/model.h"
#include "ui/form1.h"
#include "ui/form2.h"
#include "ui/perceptual_panel.h"
#include "ui/surface_view.h"

namespace tvcpix {
namespace {

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
QImage Shot(QWidget* w) { return w->grab().toImage().convertToFormat(QImage::Format_RGB888); }

}  // namespace

class MainWindowTest : public QObject {
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
  void Key(QKeySequence keys) { QTest::keySequence(window_.get(), keys); }
  void Click(const QString& name) {
    QTest::mouseClick(Find(name), Qt::LeftButton, {}, QPoint(6, 8));
  }
  QString Copy(const QString& name) {  // a sample picture in the scratch folder
    const QString to = pictures_.filePath(name);
    QFile::remove(to);
    QFile::copy(QString(TVCPIX_SAMPLES_DIR) + "/" + name, to);
    return to;
  }
  void MakeWindow() {
    window_.reset();
    editor_.reset();
    model_ = std::make_unique<Model>();
    editor_ = std::make_unique<Form2>(model_.get());
    window_ = std::make_unique<MainWindow>(model_.get(), editor_.get());
    Form1* form = window_->form();
    form->show_message = [this](QMessageBox::Icon, const QString& text) { messages_ << text; };
    form->ask_yes_no = [this](const QString& text) { return (questions_ << text, answer_); };
    form->choose_save_path = [this](const QString& start) {
      return (starts_ << start, save_paths_.isEmpty() ? QString() : save_paths_.takeFirst());
    };
    form->choose_folder = [this](const QString&) { return pictures_.path(); };
    window_->choose_open_file = [this](const QString&) { return open_path_; };
    window_->choose_export_path = [this](const QString& start, QString* filter) {
      starts_ << start;
      *filter = export_filter_;
      return save_paths_.isEmpty() ? QString() : save_paths_.takeFirst();
    };
    window_->show_text = [this](const QString& title, const QString&) { messages_ << title; };
    form->set_program_folder(program_.path());
    window_->show();
    window_->FitTo(QSize(1912, 1040));  // a desktop screen, not the offscreen default
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
  }

  // With TVCPIX_SCREENSHOTS=DIR the window is grabbed to DIR/name, to look at by eye.
  void ShotIfAsked(const QString& name) {
    const QString dir = qEnvironmentVariable("TVCPIX_SCREENSHOTS");
    if (!dir.isEmpty()) QVERIFY(window_->grab().save(QDir(dir).filePath(name)));
  }

  QTemporaryDir tmp_;
  QDir pictures_, program_;
  std::unique_ptr<Model> model_;
  std::unique_ptr<Form2> editor_;
  std::unique_ptr<MainWindow> window_;
  QStringList messages_, questions_, save_paths_, starts_;
  QString open_path_, export_filter_;
  bool answer_ = false;

 private slots:
  void initTestCase() {
    // Settings go to a scratch folder, never the user's.
    QCoreApplication::setOrganizationName("tvcpix-test");
    QCoreApplication::setApplicationName("tvcpix-test");
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, tmp_.filePath("settings"));
    pictures_ = QDir(tmp_.filePath("pictures"));
    program_ = QDir(tmp_.filePath("program"));
    QVERIFY(QDir().mkpath(pictures_.path()) && QDir().mkpath(program_.path()));
  }

  void init() {
    QSettings().clear();
    for (const QString& name : pictures_.entryList(QDir::Files)) pictures_.remove(name);
    for (QStringList* l : {&messages_, &questions_, &save_paths_, &starts_}) l->clear();
    answer_ = false;
    export_filter_ = "TVC cassette (*.cas)";
    MakeWindow();
  }

  void MenusCarryTheShortcuts() {
    // clang-format off
    const std::pair<const char*, const char*> menus[] = {
        {"actionOpen", "Ctrl+O"}, {"actionOpenFolder", "Ctrl+Shift+O"}, {"actionSave", "Ctrl+S"},
        {"actionSaveAs", "Ctrl+Shift+S"}, {"actionExport", "Ctrl+E"}, {"actionQuit", "Ctrl+Q"},
        {"actionUndo", "Ctrl+Z"}, {"actionRedo", "Ctrl+Shift+Z, Ctrl+Y"},
        {"actionPatternEditor", "Ctrl+P"}};
    // clang-format on
    for (const auto& [action, keys] : menus) {
      QStringList shown;
      for (const QKeySequence& k : Action(action)->shortcuts()) shown << k.toString();
      QCOMPARE(shown.join(", "), QString(keys));
    }
    QVERIFY(window_->windowTitle().endsWith("tvcpix 1.03"));
    QCOMPARE(window_->form()->size(), QSize(1197, 730));
  }

  // Open, the list, the caption and status line, recent files kept across a restart.
  void OpenShowsAndRemembers() {
    open_path_ = Copy("rose_70x46.bmp");
    Key(QKeySequence("Ctrl+O"));
    QCOMPARE(QString::fromStdString(model_->source_path()), open_path_);
    QCOMPARE(window_->windowTitle(), QString("rose_70x46.bmp - tvcpix 1.03"));
    QCOMPARE(window_->form()->file_list_folder(), pictures_.path());
    QVERIFY(Find<QLabel>("StatusFile")->text().contains("70 × 46"));
    QCOMPARE(Find<QLabel>("StatusMode")->text(), QString("Graphics 16, Pattern TVC"));
    QVERIFY(Find<QLabel>("StatusTime")->text().endsWith(" ms"));
    // The probe reads source and result colours and the pattern under the pointer.
    QTest::mouseMove(Find("Pic2"), QPoint(100, 100));
    const QString probe = Find<QLabel>("StatusProbe")->text();
    QVERIFY2(probe.startsWith("source #") && probe.contains(" TVC #") &&
                 probe.endsWith("pattern " + QString::fromStdString(model_->probe_caption())),
             qPrintable(probe));
    // Ctrl+Shift+O is the folder chooser now.
    window_->form()->SetFileListFolder(tmp_.path());
    Key(QKeySequence("Ctrl+Shift+O"));
    QCOMPARE(window_->form()->file_list_folder(), pictures_.path());
    // A new start: the recent file and the folder, but every setting as designed.
    Click("Option2(1)");
    MakeWindow();
    QCOMPARE(window_->recent_files(), QStringList{open_path_});
    QCOMPARE(window_->form()->file_list_folder(), pictures_.path());
    QVERIFY(model_->mode() == TvcMode::kGraphics16 && model_->source_path().empty());
    Action("actionRecent1")->trigger();
    QCOMPARE(QString::fromStdString(model_->source_path()), open_path_);
  }

  void OpeningFromTheCommandLine_data() {
    QTest::addColumn<QString>("argument");
    QTest::addColumn<bool>("loads");
    QTest::addColumn<bool>("ok");
    QTest::newRow("file") << "pictures/milla_211x242.bmp" << true << true;
    QTest::newRow("folder") << "pictures" << false << true;
    QTest::newRow("missing") << "no-such.jpg" << false << false;
  }
  void OpeningFromTheCommandLine() {
    QFETCH(QString, argument);
    QFETCH(bool, loads);
    QFETCH(bool, ok);
    Copy("milla_211x242.bmp");
    window_->form()->SetFileListFolder(tmp_.path());
    QDir::setCurrent(tmp_.path());
    QCOMPARE(window_->OpenArguments({argument}), ok);
    QCOMPARE(!model_->source_path().empty(), loads);
    QCOMPARE(messages_.size(), ok ? 0 : 1);
    QCOMPARE(window_->form()->file_list_folder(), ok ? pictures_.path() : tmp_.path());
    if (loads) {  // exactly as a click in its folder's list, entry selected
      auto* list = Find<QListWidget>("File2");
      QCOMPARE(list->currentItem()->text(), QString("milla_211x242.bmp"));
      Model clicked;
      clicked.LoadSourcePicture(Surface(model_->pic1()));
      QVERIFY(clicked.pic2() == model_->pic2());
    }
  }

  // Undo and redo restore views, captions and sliders, and name the step.
  void UndoAndRedo() {
    open_path_ = Copy("chelsea_451x300.bmp");
    Key(QKeySequence("Ctrl+O"));
    const QImage loaded = Shot(Find("Pic2"));
    QTest::keyClick(Find("HScroll1"), Qt::Key_PageDown);  // 40
    QTest::keyClick(Find("HScroll1"), Qt::Key_PageDown);  // 30: the same step
    Click("Option1(2)");
    Click("Option2(1)");
    QCOMPARE(Action("actionUndo")->text(), QString("&Undo Graphics 4"));
    const QImage floyd4 = Shot(Find("Pic2"));
    const QString colours = Find<QLabel>("Label7")->text();
    Key(QKeySequence("Ctrl+Z"));
    Key(QKeySequence("Ctrl+Z"));
    QCOMPARE(Action("actionUndo")->text(), QString("&Undo Brightness 30"));
    QCOMPARE(Action("actionRedo")->text(), QString("&Redo Floyd"));
    QVERIFY(Find<QRadioButton>("Option1(17)")->isChecked() && !Find("Frame4")->isEnabled());
    Key(QKeySequence("Ctrl+Z"));
    QCOMPARE(Find<QLineEdit>("Text1")->text(), QString("50"));
    QCOMPARE(Find<QScrollBar>("HScroll1")->value(), 50);
    QCOMPARE(Shot(Find("Pic2")), loaded);
    Key(QKeySequence("Ctrl+Y"));
    Key(QKeySequence("Ctrl+Shift+Z"));
    Key(QKeySequence("Ctrl+Y"));
    QVERIFY(Find<QRadioButton>("Option2(1)")->isChecked() && Find("Frame4")->isEnabled());
    QCOMPARE(Find<QLabel>("Label7")->text(), colours);
    QCOMPARE(Shot(Find("Pic2")), floyd4);
    QVERIFY(!Action("actionRedo")->isEnabled());
    // Editor edits and result-view clicks are steps too.
    Click("Option2(2)");
    Click("Option1(17)");
    QTest::mouseClick(editor_->findChild<QWidget*>("Command7"), Qt::LeftButton);  // "All Off"
    QCOMPARE(Action("actionUndo")->text(), QString("&Undo All Off"));
    Key(QKeySequence("Ctrl+Z"));
    QCOMPARE(qobject_cast<QLabel*>(editor_->findChild<QWidget*>("Label7"))->text(),
             QString::fromStdString(model_->patterns_used_caption()));
    QVERIFY(model_->pattern_flags().excluded[0] == 0 || model_->patterns_used_caption() != "0");
  }

  // The sliders say what acts; "Set" says what it did; Combine is remembered.
  void ToneSlidersDoNotLie() {
    open_path_ = Copy("coffee_600x400.jpg");
    Key(QKeySequence("Ctrl+O"));
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

  void SaveAsCases_data() {
    QTest::addColumn<QString>("typed");    // relative to the pictures folder
    QTest::addColumn<QString>("written");  // the base written, or empty
    QTest::addColumn<QString>("message");  // a word of the message, or empty
    // clang-format off
    QTest::newRow("typed upper case BIN") << "astro.BIN" << "astro" << "";
    QTest::newRow("plain") << "astro" << "astro" << "";
    QTest::newRow("over the source") << "parrot_495x498.jpg.bmp" << "" << "";
    QTest::newRow("source by its own name") << "photo" << "" << "being converted";
    // clang-format on
  }
  void SaveAsCases() {
    QFETCH(QString, typed);
    QFETCH(QString, written);
    QFETCH(QString, message);
    // A source named like an output (photo.bmp) must never be replaced.
    const QString source = Copy("parrot_495x498.jpg");
    const QString photo = pictures_.filePath("photo.bmp");
    QFile::remove(photo);
    QVERIFY(QFile::copy(QString(TVCPIX_SAMPLES_DIR) + "/milla_211x242.bmp", photo));
    const QString from = typed == "photo" ? photo : source;
    QVERIFY(window_->form()->LoadPictureFile(from));
    const QByteArray before = ReadAll(from);
    save_paths_ << pictures_.filePath(typed);
    Key(QKeySequence("Ctrl+Shift+S"));
    QCOMPARE(starts_.value(0), QFileInfo(from).dir().filePath(QFileInfo(from).completeBaseName()));
    if (written.isEmpty() && typed != "photo") {
      QVERIFY(messages_.isEmpty() && questions_.isEmpty());  // a new name: nothing over the source
      QVERIFY(QFileInfo::exists(pictures_.filePath("parrot_495x498.jpg.tim")));
      return;
    }
    if (!message.isEmpty()) {
      QVERIFY2(messages_.size() == 1 && messages_[0].contains(message),
               qPrintable(messages_.join('|')));
      QCOMPARE(ReadAll(photo), before);
      QVERIFY(!QFileInfo::exists(pictures_.filePath("photo.bin")));
      return;
    }
    for (const char* ext : {".bmp", ".bin", ".tim"})
      QVERIFY(QFileInfo::exists(pictures_.filePath(written + ext)));
    QVERIFY(!QFileInfo::exists(pictures_.filePath(typed + ".bin")) || typed == written);
    // Asked once before the files are replaced; No keeps them.
    save_paths_ << pictures_.filePath(typed);
    Key(QKeySequence("Ctrl+Shift+S"));
    QCOMPARE(questions_.size(), 1);
  }

  // "Save" into an unwritable program folder: one box per session, then the status line.
  void FallbackNoticeOnce() {
    window_->form()->set_program_folder(tmp_.filePath("missing-program-folder"));
    window_->form()->set_fallback_folder(tmp_.filePath("fallback"));
    for (int i = 0; i < 3; ++i) Key(QKeySequence("Ctrl+S"));
    QCOMPARE(messages_.size(), 1);
    QVERIFY(window_->statusBar()->currentMessage().contains("cannot be written"));
    QVERIFY(QFileInfo::exists(tmp_.filePath("fallback/out24.tim")));
  }

  // The copied command, run, writes the files "Save" wrote; none where it cannot.
  void CopyCommandLine() {
    open_path_ = Copy("milla_211x242.bmp");
    Key(QKeySequence("Ctrl+O"));
    Click("Option2(1)");
    Click("Option1(11)");
    Click("Label1(12)");
    Click("Label2(1)");
    QTest::keyClick(Find("HScroll4"), Qt::Key_PageUp);
    Key(QKeySequence("Ctrl+S"));
    QApplication::clipboard()->clear();
    Action("actionCopyCommandLine")->trigger();
    const QString command = QApplication::clipboard()->text();
    QVERIFY2(command.contains("--contrast 60") && command.contains("--palette4 0,12,9,10"),
             qPrintable(command));
    const QString base = program_.filePath("out24");
    QByteArray saved[3];
    for (int i = 0; i < 3; ++i) saved[i] = ReadAll(base + QString(".bmp.bin.tim").mid(4 * i, 4));
    for (const char* ext : {".bmp", ".bin", ".tim"}) QFile::remove(base + ext);
    // The window's command names "tvcpix-cli"; the test runs the one it was built with.
    const QString run =
        QString(command).replace(QRegularExpression("^tvcpix-cli"), TVCPIX_CLI_PATH);
    QCOMPARE(std::system(qPrintable(run + " >/dev/null")), 0);
    for (int i = 0; i < 3; ++i)
      QCOMPARE(ReadAll(base + QString(".bmp.bin.tim").mid(4 * i, 4)), saved[i]);
    // A pattern switched on the result view: nothing copied, the reason shown.
    QTest::mouseClick(Find("Pic2"), Qt::LeftButton, {}, QPoint(50, 50));
    QApplication::clipboard()->setText("before");
    Action("actionCopyCommandLine")->trigger();
    QCOMPARE(QApplication::clipboard()->text(), QString("before"));
    QVERIFY(messages_.size() == 1 && messages_[0].contains("patterns"));
  }

  void ExportForTvc_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("written");  // the file and its first bytes, or empty
    QTest::addColumn<QByteArray>("start");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("questions");
    const QString cas = "TVC cassette (*.cas)";
    const QByteArray cas_start("\x11\x00", 2);
    // clang-format off
    QTest::newRow("cassette") << "screen" << cas << "screen.cas" << cas_start << "" << 0;
    QTest::newRow("audio") << "screen" << "TVC tape audio (*.wav)" << "screen.wav"
                           << QByteArray("RIFF") << "" << 0;
    QTest::newRow("existing") << "old.cas" << cas << "old.cas" << cas_start << "" << 1;
    QTest::newRow("over the source") << "source.cas" << cas << "" << QByteArray()
                                     << "being converted" << 0;
    // clang-format on
  }
  void ExportForTvc() {
    QFETCH(QString, typed);
    QFETCH(QString, filter);
    QFETCH(QString, written);
    QFETCH(QByteArray, start);
    QFETCH(QString, message);
    QFETCH(int, questions);
    QFile(pictures_.filePath("old.cas")).open(QIODevice::WriteOnly);
    const QString source = pictures_.filePath("source.cas");
    QFile::remove(source);
    QVERIFY(QFile::copy(QString(TVCPIX_SAMPLES_DIR) + "/rose_70x46.bmp", source));
    QVERIFY(window_->form()->LoadPictureFile(source));
    answer_ = true;
    export_filter_ = filter;
    save_paths_ << pictures_.filePath(typed);
    Key(QKeySequence("Ctrl+E"));
    QCOMPARE(starts_.value(0), pictures_.filePath("source"));
    QCOMPARE(questions_.size(), questions);
    if (message.isEmpty()) {
      QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join('|')));
      QVERIFY(ReadAll(pictures_.filePath(written)).startsWith(start));
      QVERIFY(window_->statusBar()->currentMessage().contains("written: Graphics 16, "));
    } else {
      QVERIFY2(messages_.size() == 1 && messages_[0].contains(message),
               qPrintable(messages_.join('|')));
    }
    QCOMPARE(ReadAll(source), ReadAll(QString(TVCPIX_SAMPLES_DIR) + "/rose_70x46.bmp"));
  }

  // View: the editor reopens, the magnifier shows; Help answers; Quit closes.
  void ViewHelpAndQuit() {
    editor_->close();
    QVERIFY(!editor_->isVisible());
    Key(QKeySequence("Ctrl+P"));
    QVERIFY(editor_->isVisible());
    QVERIFY(Find("PicZ")->isHidden() && Find("PicZZ")->isHidden());
    Action("actionMagnifier")->trigger();
    QVERIFY(Find("PicZ")->isVisible() && Find("PicZZ")->isVisible() &&
            Find("CaptionZ")->isVisible());
    Action("actionGuide")->trigger();
    Action("actionAbout")->trigger();
    QCOMPARE(messages_, QStringList({"tvcpix guide", "About tvcpix"}));
    QTimer::singleShot(0, window_.get(), [this] { Key(QKeySequence("Ctrl+Q")); });
    QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(7); });
    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY(!window_->isVisible() && !editor_->isVisible());
  }

  // Tab goes list, refresh, sliders, ...; a focused swatch is picked with Space.
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
    for (QWidget* w : window_->form()->findChildren<QWidget*>())
      if (!w->objectName().isEmpty() && !w->objectName().startsWith("Caption") &&
          !w->objectName().startsWith("qt_"))
        QVERIFY2(!w->toolTip().isEmpty(), qPrintable(w->objectName()));
  }

  // The perceptual methods beside the form: chosen there, their strength shown only for them,
  // and the best palettes offered, applied as swatch clicks and taken back by Undo.
  void PerceptualPanel() {
    open_path_ = Copy("parrot_495x498.jpg");
    Key(QKeySequence("Ctrl+O"));
    auto* strength_box = Find("StrengthBox");
    QVERIFY(!Find<QRadioButton>("Method18")->isChecked() && !strength_box->isVisible());
    Click("Method18");
    QCOMPARE(model_->method(), DitherMethod::kPerceptual);
    for (int i = 1; i <= kMethodCount; ++i)
      QVERIFY(!Find<QRadioButton>(QString("Option1(%1)").arg(i))->isChecked());
    QVERIFY(strength_box->isVisible());
    QVERIFY(Find<QLabel>("StrengthLabel")->text().endsWith("(default)"));
    auto* slider = Find<QSlider>("StrengthSlider");
    const int before = slider->value();
    QTest::keyClick(slider, Qt::Key_PageUp);
    QCOMPARE(model_->strength(), before + 10);
    QCOMPARE(Find<QLabel>("StrengthLabel")->text(), QString("Strength %1").arg(before + 10));
    QCOMPARE(QString::fromStdString(model_->undo_name()), QString("Strength %1").arg(before + 10));
    QCOMPARE(Find<QLabel>("StatusMode")->text(), QString("Graphics 16, Perceptual"));
    // Graphics 16 has no palette to choose.
    QVERIFY(!Find("FindBestPalettes")->isEnabled());
    Click("Option2(1)");
    QVERIFY(Find("FindBestPalettes")->isEnabled());
    const std::array<ColorValue, 4> start = {model_->label2(0), model_->label2(1),
                                             model_->label2(2), model_->label2(3)};
    const std::vector<RankedPalette> best = model_->BestPalettes();
    QCOMPARE(int(best.size()), 3);
    Key(QKeySequence("Ctrl+B"));
    for (int n = 1; n <= 3; ++n) QVERIFY(Find(QString("PaletteChoice%1").arg(n))->isVisible());
    QCOMPARE(model_->label2(0), start[0]);  // offered, not yet applied
    ShotIfAsked("perceptual-panel-1920x1080.png");
    Click("PaletteChoice2");
    for (int i = 0; i < 4; ++i)
      QCOMPARE(model_->label2(i), ColorFromEntry(Tvc16Color(best[1].indices[std::size_t(i)])));
    QCOMPARE(Action("actionUndo")->text(), QString("&Undo Best palette"));
    Key(QKeySequence("Ctrl+Z"));
    for (int i = 0; i < 4; ++i) QCOMPARE(model_->label2(i), start[std::size_t(i)]);
    // A faithful method hides the strength; the offers belong to the method they were made for.
    Click("Option1(2)");
    QVERIFY(!Find<QRadioButton>("Method18")->isChecked() && !strength_box->isVisible());
    QVERIFY(!Find("PaletteChoice1")->isVisible());
    // The whole form and the panel fit a 1366 x 768 screen's width.
    window_->FitTo(QSize(1366 - 8, 768 - 40));
    QVERIFY(window_->width() <= 1358);
    QVERIFY(
        !static_cast<QScrollArea*>(window_->centralWidget())->horizontalScrollBar()->isVisible());
    ShotIfAsked("perceptual-panel-1366x768.png");
  }

  void EditorPlacement() {  // beside the window when the screen has room, else on it
    const QRect main(0, 0, 1205, 790);
    for (const auto& [screen, beside] :
         {std::pair(QRect(0, 0, 1366, 768), false), {QRect(0, 0, 1920, 1080), true}}) {
      bool fits = false;
      const QPoint at = tvcpix::EditorPlacement(main, QSize(335, 440), screen, &fits);
      QCOMPARE(fits, beside);
      QVERIFY(screen.contains(QRect(at, QSize(335, 440))));
      QVERIFY(!fits || !main.intersects(QRect(at, QSize(335, 440))));
    }
  }
};

}  // namespace tvcpix

QTEST_MAIN(tvcpix::MainWindowTest)
#include "main_window_test.moc"
