// The main window Form1: every control of the converter, placed as designed, and its handlers.
#ifndef TVCPIX_UI_FORM1_H_
#define TVCPIX_UI_FORM1_H_

#include <QMessageBox>
#include <QString>
#include <QWidget>
#include <array>
#include <functional>
#include <vector>

#include "output/save.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QShortcut;

namespace tvcpix {

class Form2;
class Model;
class PictureView;

class Form1 : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 1197;
  static constexpr int kClientHeight = 730;

  // The window start itself happened in the model's constructor; the editor may be null.
  Form1(Model* model, Form2* editor, QWidget* parent = nullptr);

  // ---- Seams: the modal dialogs, replaceable so tests can answer them.
  // The "Save As" dialog: returns the chosen file name, or an empty string for cancel.
  std::function<QString(const QString& start_folder)> choose_save_path;
  // A message box with one OK button.
  std::function<void(QMessageBox::Icon icon, const QString& text)> show_message;
  // A Yes/No question whose default answer is No; true means Yes.
  std::function<bool(const QString& text)> ask_yes_no;
  // The folder dialog of Ctrl+O: returns the chosen folder, or an empty string for cancel.
  std::function<QString(const QString& current_folder)> choose_folder;

  // The window's own shortcuts (Ctrl+S, Ctrl+Shift+S, Ctrl+O, F5); off when a menu bar around
  // the form carries them.
  void SetShortcutsEnabled(bool on);
  // The magnifier views PicZ and PicZZ with their captions.
  void SetMagnifierVisible(bool on);
  bool magnifier_visible() const;
  // The base path of the last save, or the one "Save" would use now.
  QString CurrentOutputBase() const;

  // The folder the file list shows. Setting it re-reads the list and makes it the current
  // directory, so list and current directory never part.
  const QString& file_list_folder() const { return folder_; }
  void SetFileListFolder(const QString& folder);

  // "Save" writes into the program's folder when that can be written, else into the
  // per-user fallback folder (created on demand). Both are settable for tests.
  void set_program_folder(const QString& folder) { program_folder_ = folder; }
  void set_fallback_folder(const QString& folder) { fallback_folder_ = folder; }
  // The folder "Save" uses and "Save As" starts in; *fallback tells which one it is.
  QString SaveFolder(bool* fallback = nullptr) const;

  // Loads a picture file exactly as a click on it in the file list does.
  bool LoadPictureFile(const QString& path);
  // A picture dropped on the window: loaded like a click, then the file list and the current
  // directory move to its folder with its entry selected.
  bool LoadDroppedFile(const QString& path);

 signals:
  // The model changed and every view shows it now.
  void ModelChanged();
  // A picture file was loaded (its absolute path).
  void PictureLoaded(const QString& path);
  // The pointer moved over the result view, at (x, y) in its pixels.
  void ProbeMoved(int x, int y);
  // A short notice for a status line.
  void StatusMessage(const QString& text);

 public slots:
  // Repaints every view and caption from the model.
  void RefreshFromModel();

  // ---- Event handlers, one model operation each.
  void File2_Click();
  void Command3_Click();
  void Command5_Click();
  void Command6_Click();
  void Command7_Click();
  void HScroll1_Scroll(int value) { HScrollScroll(1, value); }
  void HScroll2_Scroll(int value) { HScrollScroll(2, value); }
  void HScroll3_Scroll(int value) { HScrollScroll(3, value); }
  void HScroll4_Scroll(int value) { HScrollScroll(4, value); }
  void Label1_Click(int index);
  void Label2_Click(int index);
  void Label3_Click(int index);
  void Option1_Click(int index);
  void Option2_Click(int index);
  void Pic2_MouseMove(int x, int y);
  void Pic2_MouseDown(int button);
  // Ctrl+O: point the file list (and the current directory) at another folder.
  void ChooseFolder();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void BuildViews();
  void BuildFileList();
  void BuildSliders();
  void BuildButtons();
  void BuildPalette();
  void BuildOptions();
  void BuildDisplays();
  void BuildCaptions();
  void BuildShortcuts();
  void BuildTabOrder();
  void RefreshSliders();

  void HScrollScroll(int n, int value);
  void RefreshProbe();
  void RefreshEditor();
  // After a save: success moves the file list to the receiving folder, failure is reported.
  bool FinishSave(const Result& result, const QString& folder);

  Model* model_;
  Form2* editor_;
  QString folder_;
  QString program_folder_;
  QString fallback_folder_;
  bool key_in_list_ = false;       // the file list is handling a key press
  bool fallback_noticed_ = false;  // the box about the fallback folder was shown once
  std::vector<QShortcut*> shortcuts_;
  std::vector<QWidget*> magnifier_;

  PictureView* pic5_ = nullptr;
  PictureView* pic2_ = nullptr;
  PictureView* tvc2_ = nullptr;
  PictureView* tvc4_ = nullptr;
  PictureView* tvc16_ = nullptr;
  PictureView* picz_ = nullptr;
  PictureView* piczz_ = nullptr;

  QListWidget* file2_ = nullptr;
  std::array<QScrollBar*, 4> hscroll_{};
  std::array<QLineEdit*, 4> text_{};
  std::array<QLabel*, 16> label1_{};
  std::array<QLabel*, 4> label2_{};
  std::array<QLabel*, 2> label3_{};
  QLabel* label4_ = nullptr;
  QGroupBox* frame4_ = nullptr;
  QGroupBox* frame5_ = nullptr;
  std::array<QRadioButton*, 18> option1_{};  // indices 1..17; 0 stays null
  std::array<QRadioButton*, 3> option2_{};
  QLabel* label6_ = nullptr;
  QLabel* label7_ = nullptr;
  QLabel* label9_ = nullptr;
  std::array<QWidget*, 5> shape_{};
  std::array<QWidget*, 4> tone_frame_{};
};

}  // namespace tvcpix

#endif  // TVCPIX_UI_FORM1_H_
