// The desktop window around Form1: menus, status line, opening from the command line, recent
// files and remembered settings. Every command drives the model; the form stays as designed.
#ifndef TVCPIX_UI_MAIN_WINDOW_H_
#define TVCPIX_UI_MAIN_WINDOW_H_

#include <QMainWindow>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <functional>

class QAction;
class QLabel;
class QMenu;

namespace tvcpix {

class Form1;
class Form2;
class Model;
class PerceptualPanel;

// Where the pattern editor goes: beside the main window when it fits on the screen without
// covering it (*beside true), else at the screen's right edge, to be opened on request.
QPoint EditorPlacement(const QRect& main_frame, const QSize& editor_frame, const QRect& available,
                       bool* beside);

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  static constexpr int kRecentFiles = 8;

  // The model gets its undo history here; the editor may be null.
  MainWindow(Model* model, Form2* editor, QWidget* parent = nullptr);
  ~MainWindow() override;

  Form1* form() const { return form_; }
  PerceptualPanel* perceptual_panel() const { return panel_; }

  // ---- Seams for the dialogs, replaceable in tests (Form1 has those of the form).
  std::function<QString(const QString& start)> choose_open_file;
  // The export dialog: the chosen path and, through *filter, the chosen file type.
  std::function<QString(const QString& start, QString* filter)> choose_export_path;
  std::function<void(const QString& title, const QString& text)> show_text;

  // tvcpix FILE loads it as a click in its folder's list would; tvcpix FOLDER lists it.
  // Anything else is reported. Returns false when an argument could not be used.
  bool OpenArguments(const QStringList& arguments);
  // Shows the pattern editor beside the window, or where there is room.
  void ShowEditor();
  // Shows the editor at start when it fits beside the window; else the status line says how.
  void PlaceEditorAtStart();

  QStringList recent_files() const { return recent_; }
  // The size that shows the whole form and the bars, within the screen's free area.
  void FitToScreen();
  void FitTo(const QSize& room);

 public slots:
  void OpenFile();
  void OpenFolder();
  void Undo();
  void Redo();
  void CopyCommandLine();
  void ExportForTvc();
  void SetCombineTones(bool on);
  void SetMagnifier(bool on);
  void FindBestPalettes();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildMenus();
  void BuildStatusBar();
  void RefreshAll();
  void RefreshStatus();
  void RefreshProbe(int x, int y);
  void RememberRecent(const QString& path);
  void RebuildRecentMenu();
  void SaveSettings() const;

  Model* model_;
  Form2* editor_;
  Form1* form_;
  PerceptualPanel* panel_;
  QStringList recent_;
  QMenu* recent_menu_ = nullptr;
  QAction* undo_ = nullptr;
  QAction* redo_ = nullptr;
  QAction* combine_ = nullptr;
  QAction* magnifier_ = nullptr;
  QLabel* file_label_ = nullptr;
  QLabel* mode_label_ = nullptr;
  QLabel* time_label_ = nullptr;
  QLabel* probe_label_ = nullptr;
};

}  // namespace tvcpix

#endif  // TVCPIX_UI_MAIN_WINDOW_H_
