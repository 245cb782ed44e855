// The tvcpix program: the model, the main window with the form, the pattern editor beside it,
// and the event loop. tvcpix FILE opens a picture, tvcpix FOLDER lists a folder.
#include <QApplication>
#include <QStringList>

#include "core/version.h"
#include "engine/model.h"
#include "ui/form2.h"
#include "ui/main_window.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setOrganizationName("tvcpix");
  QApplication::setApplicationName("tvcpix");
  QApplication::setApplicationVersion(tvcpix::kVersion);

  tvcpix::Model model;  // window start: swatches and patterns ready, nothing converted
  tvcpix::Form2 editor(&model);
  tvcpix::MainWindow window(&model, &editor);
  window.show();
  window.OpenArguments(QApplication::arguments().mid(1));
  window.PlaceEditorAtStart();
  return QApplication::exec();
}
