// The desktop window around Form1: menus, status line, opening, recent files, settings.
#include "ui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QStatusBar>
#include <QStyle>
#include <algorithm>

#include "core/surface.h"
#include "core/tvc.h"
#include "core/version.h"
#include "dither/method.h"
#include "engine/command_line.h"
#include "engine/model.h"
#include "ui/form1.h"
#include "ui/form2.h"
#include "ui/perceptual_panel.h"

namespace tvcpix {
namespace {

constexpr const char* kCassette = "TVC cassette (*.cas)";
constexpr const char* kTapeAudio = "TVC tape audio (*.wav)";

std::string NativePath(const QString& path) { return QFile::encodeName(path).toStdString(); }
QString FromNative(const std::string& path) { return QFile::decodeName(path.c_str()); }
QString Hex(ColorValue c) {
  return QString::asprintf("#%02X%02X%02X", RedOf(c), GreenOf(c), BlueOf(c));
}

constexpr const char* kGuide =
    "<p><b>Load</b> a picture with a click in the file list (or File &gt; Open…, or by dropping "
    "it on the window). Every change converts at once.</p>"
    "<p><b>Tone sliders</b>: only the slider moved last acts on the picture; \"Set\" makes its "
    "effect permanent before you move the next one. A dimmed value has no effect now. With "
    "View &gt; Combine Tone Sliders all four act together.</p>"
    "<p><b>Mode and method</b>: the options on the right. For Graphics 2 and 4 pick one of the "
    "16 colours, then click the palette swatch beside it (Space picks a focused swatch).</p>"
    "<p><b>Patterns</b>: with \"Pattern TVC\", View &gt; Pattern Editor (Ctrl+P) switches "
    "patterns off (left click) and swaps their colours (right click); clicks on the result "
    "view do the same for the pattern under the pointer. Edit &gt; Undo takes any step back.</p>"
    "<p><b>Perceptual panel</b> (beside the form): two methods beyond the seventeen, tuned "
    "on a perceptual measure, with their strength; and for Graphics 2 and 4 <b>Best Palette</b> "
    "(Ctrl+B), which offers the three palettes of the 16 colours that suit the picture "
    "best.</p>"
    "<p><b>Save</b> writes out24.bmp/.bin/.tim into the program's folder; \"Save As\" asks for "
    "the name. Edit &gt; Copy Command Line gives the tvcpix-cli command for the same files.</p>";

}  // namespace

QPoint EditorPlacement(const QRect& main_frame, const QSize& editor_frame, const QRect& available,
                       bool* beside) {
  const int gap = 8;
  const QPoint right(main_frame.right() + 1 + gap, main_frame.top());
  *beside = right.x() + editor_frame.width() - 1 <= available.right();
  if (*beside) return right;
  return QPoint(std::max(available.left(), available.right() + 1 - editor_frame.width()),
                std::max(available.top(), main_frame.top()));
}

MainWindow::MainWindow(Model* model, Form2* editor, QWidget* parent)
    : QMainWindow(parent), model_(model), editor_(editor) {
  setObjectName("MainWindow");
  model_->EnableHistory(true);
  form_ = new Form1(model_, editor_, this);
  form_->SetShortcutsEnabled(false);  // the menus carry them
  // The form keeps its designed size; on a screen too small for it and the bars it scrolls.
  auto* scroll = new QScrollArea(this);
  scroll->setObjectName("FormScroll");
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setWidget(form_);
  scroll->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  setCentralWidget(scroll);
  panel_ = new PerceptualPanel(model_, this);
  addDockWidget(Qt::RightDockWidgetArea, panel_);

  choose_open_file = [this](const QString& start) {
    return QFileDialog::getOpenFileName(this, "Open", start,
                                        "Pictures (*.jpg *.jpeg *.bmp *.png *.tim);;All files (*)");
  };
  choose_export_path = [this](const QString& start, QString* filter) {
    return QFileDialog::getSaveFileName(this, "Export for TVC", start,
                                        QString("%1;;%2").arg(kCassette, kTapeAudio), filter,
                                        QFileDialog::DontConfirmOverwrite);
  };
  show_text = [this](const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, this);
    box.setTextFormat(Qt::RichText);
    box.exec();
  };

  BuildMenus();
  BuildStatusBar();

  const QSettings settings;
  recent_ = settings.value("recentFiles").toStringList();
  RebuildRecentMenu();
  // Only the way of working is remembered; every conversion setting starts as designed.
  combine_->setChecked(settings.value("combineTones", false).toBool());
  model_->SetCombineTones(combine_->isChecked());
  panel_->setVisible(settings.value("perceptualPanel", true).toBool());
  magnifier_->setChecked(settings.value("magnifier", false).toBool());
  form_->SetMagnifierVisible(magnifier_->isChecked());
  const QString last = settings.value("lastFolder").toString();
  if (!last.isEmpty() && QFileInfo(last).isDir()) form_->SetFileListFolder(last);
  if (!restoreGeometry(settings.value("geometry").toByteArray())) FitToScreen();

  connect(form_, &Form1::ModelChanged, this, &MainWindow::RefreshStatus);
  connect(form_, &Form1::ModelChanged, panel_, &PerceptualPanel::RefreshFromModel);
  connect(panel_, &PerceptualPanel::Converted, this, &MainWindow::RefreshAll);
  connect(panel_, &PerceptualPanel::StatusMessage, this,
          [this](const QString& text) { statusBar()->showMessage(text, 8000); });
  connect(form_, &Form1::ProbeMoved, this, &MainWindow::RefreshProbe);
  connect(form_, &Form1::PictureLoaded, this, &MainWindow::RememberRecent);
  connect(form_, &Form1::StatusMessage, this,
          [this](const QString& text) { statusBar()->showMessage(text, 8000); });
  RefreshStatus();
}

MainWindow::~MainWindow() { SaveSettings(); }

// ---------------------------------------------------------------- menus

void MainWindow::BuildMenus() {
  auto add = [this](QMenu* menu, const char* name, const QString& text, QList<QKeySequence> keys,
                    auto slot) {
    QAction* action = menu->addAction(text);
    action->setObjectName(name);
    action->setShortcuts(keys);
    connect(action, &QAction::triggered, this, slot);
    return action;
  };
  QMenu* file = menuBar()->addMenu("&File");
  add(file, "actionOpen", "&Open…", {QKeySequence(Qt::CTRL | Qt::Key_O)}, &MainWindow::OpenFile);
  add(file, "actionOpenFolder", "Open &Folder…", {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O)},
      &MainWindow::OpenFolder);
  recent_menu_ = file->addMenu("Open &Recent");
  recent_menu_->setObjectName("menuRecent");
  file->addSeparator();
  add(file, "actionSave", "&Save", {QKeySequence(Qt::CTRL | Qt::Key_S)},
      [this] { form_->Command3_Click(); });
  add(file, "actionSaveAs", "Save &As…", {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)},
      [this] { form_->Command7_Click(); });
  add(file, "actionExport", "&Export for TVC…", {QKeySequence(Qt::CTRL | Qt::Key_E)},
      &MainWindow::ExportForTvc);
  add(file, "actionRefresh", "Re&fresh List", {QKeySequence(Qt::Key_F5)},
      [this] { form_->Command5_Click(); });
  file->addSeparator();
  add(file, "actionQuit", "&Quit", {QKeySequence(Qt::CTRL | Qt::Key_Q)}, [this] { close(); });

  QMenu* edit = menuBar()->addMenu("&Edit");
  undo_ = add(edit, "actionUndo", "&Undo", {QKeySequence(Qt::CTRL | Qt::Key_Z)}, &MainWindow::Undo);
  redo_ = add(edit, "actionRedo", "&Redo",
              {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)},
              &MainWindow::Redo);
  edit->addSeparator();
  add(edit, "actionCopyCommandLine", "Copy &Command Line", {}, &MainWindow::CopyCommandLine);
  add(edit, "actionBestPalette", "&Best Palette…", {QKeySequence(Qt::CTRL | Qt::Key_B)},
      &MainWindow::FindBestPalettes);

  QMenu* view = menuBar()->addMenu("&View");
  add(view, "actionPatternEditor", "&Pattern Editor", {QKeySequence(Qt::CTRL | Qt::Key_P)},
      &MainWindow::ShowEditor);
  magnifier_ = add(view, "actionMagnifier", "&Magnifier", {}, &MainWindow::SetMagnifier);
  magnifier_->setCheckable(true);
  combine_ =
      add(view, "actionCombineTones", "&Combine Tone Sliders", {}, &MainWindow::SetCombineTones);
  combine_->setCheckable(true);
  combine_->setToolTip("Apply all four tone sliders together instead of the one moved last");
  QAction* panel = panel_->toggleViewAction();
  panel->setObjectName("actionPerceptualPanel");
  panel->setText("P&erceptual Panel");
  view->addAction(panel);

  QMenu* help = menuBar()->addMenu("&Help");
  add(help, "actionGuide", "&Guide", {QKeySequence(Qt::Key_F1)},
      [this] { show_text("tvcpix guide", kGuide); });
  add(help, "actionAbout", "&About tvcpix", {}, [this] {
    show_text("About tvcpix",
              QString("<p><b>tvcpix %1</b></p><p>Converts pictures into screens of the TVC's "
                      "graphics modes and saves them as .bmp, .bin and .tim files.</p>")
                  .arg(kVersion));
  });
  // The shortcuts work while the pattern editor has the focus too.
  if (editor_ != nullptr)
    for (QAction* action : findChildren<QAction*>())
      if (!action->shortcuts().isEmpty() && action->objectName() != "actionQuit")
        editor_->addAction(action);
}

void MainWindow::BuildStatusBar() {
  auto label = [this](const char* name, const QString& tip) {
    auto* l = new QLabel(this);
    l->setObjectName(name);
    l->setToolTip(tip);
    statusBar()->addPermanentWidget(l);
    return l;
  };
  file_label_ = label("StatusFile", "The loaded picture and its size");
  mode_label_ = label("StatusMode", "The graphics mode and the dithering method");
  time_label_ = label("StatusTime", "How long the last conversion took");
  probe_label_ = label("StatusProbe", "The colours under the pointer on the result view");
}

// ---------------------------------------------------------------- status

void MainWindow::RefreshStatus() {
  QString title = QString("tvcpix ") + kVersion;
  const QString source = FromNative(model_->source_path());
  if (!source.isEmpty()) {
    title = QFileInfo(source).fileName() + " - " + title;
    const Surface* loaded = model_->loaded_picture().get();
    file_label_->setText(QString("%1  %2 × %3")
                             .arg(QFileInfo(source).fileName())
                             .arg(loaded->width())
                             .arg(loaded->height()));
  } else {
    file_label_->setText(model_->loaded_picture() ? "(no file)" : "no picture");
  }
  setWindowTitle(title);
  mode_label_->setText(
      QString("%1, %2").arg(InfoOf(model_->mode()).caption, MethodCaption(model_->method())));
  time_label_->setText(QString("%1 ms").arg(QString::fromStdString(model_->run_time_caption())));
  undo_->setEnabled(model_->CanUndo());
  undo_->setText(model_->CanUndo() ? "&Undo " + QString::fromStdString(model_->undo_name())
                                   : "&Undo");
  redo_->setEnabled(model_->CanRedo());
  redo_->setText(model_->CanRedo() ? "&Redo " + QString::fromStdString(model_->redo_name())
                                   : "&Redo");
}

void MainWindow::RefreshProbe(int x, int y) {
  const Surface& work = model_->pic5();
  if (x < 0 || y < 0 || x >= work.width() || y >= work.height()) return;
  probe_label_->setText(QString("source %1  TVC %2  pattern %3")
                            .arg(Hex(PixelAt(work, x, y)), Hex(PixelAt(model_->pic2(), x, y)),
                                 QString::fromStdString(model_->probe_caption())));
}

void MainWindow::FitToScreen() {
  // Room for the window frame, which the system adds outside.
  if (screen() != nullptr) FitTo(screen()->availableGeometry().size() - QSize(8, 40));
}

void MainWindow::FitTo(const QSize& room) {
  auto* scroll = static_cast<QScrollArea*>(centralWidget());
  // The bars round the form; the scroll bars only when the form does not fit.
  const int bars = menuBar()->sizeHint().height() + statusBar()->sizeHint().height();
  QSize size(form_->width(), form_->height() + bars);
  if (panel_->isVisibleTo(this))
    size.rwidth() += panel_->sizeHint().width() +
                     style()->pixelMetric(QStyle::PM_DockWidgetSeparatorExtent, nullptr, this);
  const bool fits = size.height() <= room.height() && size.width() <= room.width();
  const Qt::ScrollBarPolicy policy = fits ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded;
  scroll->setVerticalScrollBarPolicy(policy);
  scroll->setHorizontalScrollBarPolicy(policy);
  if (!fits) size.rwidth() += scroll->verticalScrollBar()->sizeHint().width();
  resize(size.boundedTo(room));
}

void MainWindow::RefreshAll() {
  form_->RefreshFromModel();
  if (editor_ != nullptr) editor_->RefreshFromModel();
}

// ---------------------------------------------------------------- file

bool MainWindow::OpenArguments(const QStringList& arguments) {
  if (arguments.isEmpty()) return true;
  const QFileInfo info(arguments.front());
  if (info.isDir()) {
    form_->SetFileListFolder(info.absoluteFilePath());
    return true;
  }
  if (info.isFile()) return form_->LoadDroppedFile(info.absoluteFilePath());
  form_->show_message(QMessageBox::Warning,
                      QString("%1: no such file or folder").arg(arguments.front()));
  return false;
}

void MainWindow::OpenFile() {
  const QString path = choose_open_file(form_->file_list_folder());
  if (!path.isEmpty()) form_->LoadDroppedFile(path);
}

void MainWindow::OpenFolder() { form_->ChooseFolder(); }

void MainWindow::RememberRecent(const QString& path) {
  recent_.removeAll(path);
  recent_.prepend(path);
  while (recent_.size() > kRecentFiles) recent_.removeLast();
  RebuildRecentMenu();
  SaveSettings();
}

void MainWindow::RebuildRecentMenu() {
  recent_menu_->clear();
  for (int i = 0; i < recent_.size(); ++i) {
    const QString path = recent_[i];
    QAction* action =
        recent_menu_->addAction(QString("&%1 %2").arg(i + 1).arg(QDir::toNativeSeparators(path)));
    action->setObjectName(QString("actionRecent%1").arg(i + 1));
    connect(action, &QAction::triggered, this, [this, path] {
      if (!QFileInfo(path).isFile()) {
        form_->show_message(QMessageBox::Warning, path + ": the file is gone");
        recent_.removeAll(path);
        RebuildRecentMenu();
        return;
      }
      form_->LoadDroppedFile(path);
    });
  }
  recent_menu_->setEnabled(!recent_.isEmpty());
}

void MainWindow::ExportForTvc() {
  QString start = form_->file_list_folder();
  const QString source = FromNative(model_->source_path());
  if (!source.isEmpty())
    start = QFileInfo(source).dir().filePath(QFileInfo(source).completeBaseName());
  QString filter = kCassette;
  QString path = choose_export_path(start, &filter);
  if (path.isEmpty()) return;
  const QString suffix = filter == kTapeAudio ? "wav" : "cas";
  if (QFileInfo(path).suffix().compare(suffix, Qt::CaseInsensitive) != 0) path += "." + suffix;
  if (model_->IsSourceFile(NativePath(path))) {
    form_->show_message(QMessageBox::Warning,
                        QString("%1 is the picture being converted; exporting would replace it.\n"
                                "Choose another name: nothing was written.")
                            .arg(QDir::toNativeSeparators(path)));
    return;
  }
  if (QFileInfo::exists(path) &&
      !form_->ask_yes_no(QString("%1 already exists in %2.\nDo you want to replace it?")
                             .arg(QFileInfo(path).fileName(),
                                  QDir::toNativeSeparators(QFileInfo(path).absolutePath())))) {
    return;
  }
  std::string summary;
  const Result result = model_->ExportForTvc(NativePath(path), &summary);
  if (!result.ok) {
    form_->show_message(QMessageBox::Critical, QString::fromStdString(result.message));
    return;
  }
  statusBar()->showMessage(
      QDir::toNativeSeparators(path) + " written: " + QString::fromStdString(summary), 8000);
}

// ---------------------------------------------------------------- edit

void MainWindow::Undo() {
  if (!model_->Undo()) return;
  RefreshAll();
  statusBar()->showMessage("Undone", 3000);
}

void MainWindow::Redo() {
  if (!model_->Redo()) return;
  RefreshAll();
  statusBar()->showMessage("Redone", 3000);
}

void MainWindow::CopyCommandLine() {
  const CommandLine line = BuildCommandLine(*model_, NativePath(form_->CurrentOutputBase()));
  if (!line.ok) {
    const QString text =
        "No tvcpix-cli command gives this result: " + QString::fromStdString(line.reason) + ".";
    form_->show_message(QMessageBox::Information, text);
    statusBar()->showMessage("Nothing copied: " + QString::fromStdString(line.reason), 8000);
    return;
  }
  QApplication::clipboard()->setText(QString::fromStdString(line.command));
  statusBar()->showMessage("Copied: " + QString::fromStdString(line.command), 8000);
}

// ---------------------------------------------------------------- view

void MainWindow::ShowEditor() {
  if (editor_ == nullptr) return;
  if (!editor_->isVisible()) {
    bool beside = false;
    const QRect avail = screen() != nullptr ? screen()->availableGeometry() : QRect();
    editor_->move(
        EditorPlacement(frameGeometry(), editor_->frameGeometry().size(), avail, &beside));
  }
  editor_->show();
  editor_->raise();
  editor_->activateWindow();
}

void MainWindow::PlaceEditorAtStart() {
  if (editor_ == nullptr) return;
  bool beside = false;
  const QRect avail = screen() != nullptr ? screen()->availableGeometry() : QRect();
  const QPoint at =
      EditorPlacement(frameGeometry(), editor_->frameGeometry().size(), avail, &beside);
  if (beside) {
    editor_->move(at);
    editor_->show();
  } else {
    statusBar()->showMessage("View > Pattern Editor (Ctrl+P) opens the \"TVC Pattern\" window");
  }
}

void MainWindow::SetCombineTones(bool on) {
  model_->SetCombineTones(on);
  combine_->setChecked(on);
  SaveSettings();
  statusBar()->showMessage(on ? "Tone sliders combined: each move applies all four"
                              : "One tone slider at a time: \"Set\" keeps its effect",
                           5000);
}

void MainWindow::FindBestPalettes() {
  panel_->show();
  panel_->FindBestPalettes();
}

void MainWindow::SetMagnifier(bool on) {
  form_->SetMagnifierVisible(on);
  magnifier_->setChecked(on);
  SaveSettings();
}

// ---------------------------------------------------------------- end

void MainWindow::SaveSettings() const {
  QSettings settings;
  settings.setValue("recentFiles", recent_);
  settings.setValue("combineTones", combine_->isChecked());
  settings.setValue("magnifier", magnifier_->isChecked());
  settings.setValue("perceptualPanel", panel_->isVisibleTo(this));
  settings.setValue("lastFolder", form_->file_list_folder());
  settings.setValue("geometry", saveGeometry());
}

void MainWindow::closeEvent(QCloseEvent* event) {
  SaveSettings();
  QMainWindow::closeEvent(event);
  if (event->isAccepted()) {
    if (editor_ != nullptr) editor_->close();
    QCoreApplication::quit();
  }
}

}  // namespace tvcpix
