// The window beside the model: the observer, the keyboard, text that fits
// on every page at 550 by 377 (and at a device pixel ratio of 2), the
// companion windows, the drive dialog, and repaints during long work.

#include <fcntl.h>
#include <unistd.h>

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollArea>
#include <QTest>
#include <QTreeWidget>
#include <cstdlib>
#include <iostream>

#include "keys/logon_window.h"
#include "testsupport/run_program.h"
#include "ui/qt/drive_dialog.h"
#include "ui/qt/picture.h"
#include "ui/qt/run_window.h"
#include "ui/qt/tests/qt_fixture.h"
#include "ui/setup_form.h"

namespace nimbra::uiqt::testing {
namespace {

class WindowTest : public ::testing::Test {
 protected:
  WindowTest() : temp("nimbra-qt-window"), dir(DemoMachineCopy(temp / "machine")) {}
  void Open() {
    session = std::make_unique<WindowSession>(dir, "D:\\SETUP\\");
    ASSERT_TRUE(StartWindow(session->wizard, session->ui));
  }
  void Show(const std::string& page) {
    session->Form().SetActivePage(page);
    session->ui.SyncAll();
    QCoreApplication::processEvents();
  }
  testsupport::TempFolder temp;
  std::filesystem::path dir;
  std::unique_ptr<WindowSession> session;
};

TEST_F(WindowTest, TheObserverUpdatesTheWidgetsWhoseControlsAHandlerChanged) {
  Open();
  WindowSession& s = *session;
  Show("TabSheet12");
  auto* label = qobject_cast<QLabel*>(s.Widget("UserNameLabel"));
  auto* other = qobject_cast<QLabel*>(s.Widget("GroupNameLabel"));
  auto* next = qobject_cast<QPushButton*>(s.Widget("Next"));
  ASSERT_TRUE(label && other && next);
  // A widget whose control did not change is not written again.
  other->setText("left alone");
  s.Form().At("UserNameLabel").text = "Your name";
  s.Form().At("Next").enabled = false;
  s.Form().At("Next").text = "&Continue";
  s.ui.ProcessMessages();
  EXPECT_EQ(label->text(), "Your name");
  EXPECT_EQ(label->accessibleName(), "Your name");
  EXPECT_FALSE(next->isEnabled());
  EXPECT_EQ(next->text(), "&Continue");
  EXPECT_EQ(other->text(), "left alone");

  Show("TabSheet11");
  auto* list = qobject_cast<QListWidget*>(s.Widget("EmailAddrs"));
  ASSERT_TRUE(list);
  s.Form().At("EmailAddrs").SetLines({"a@example.com", "b@example.com"});
  s.Form().At("EmailAddrs").itemIndex = 1;
  s.ui.ProcessMessages();
  ASSERT_EQ(list->count(), 2);
  EXPECT_EQ(list->item(1)->text(), "b@example.com");
  EXPECT_EQ(list->currentRow(), 1);

  Show("TabSheet9");
  ui::Control* check = nullptr;
  for (ui::Control* c : s.Form().ControlsOf("TabSheet9"))
    if (c->Kind() == ui::ControlKind::RadioButton || c->Kind() == ui::ControlKind::CheckBox)
      check = c;
  ASSERT_NE(check, nullptr);
  const bool was = check->checked;
  s.Form().SetChecked(check->Name(), !was);
  s.ui.ProcessMessages();
  EXPECT_EQ(qobject_cast<QAbstractButton*>(s.Widget(check->Name()))->isChecked(), !was);
  // A click on the widget reaches the model through the form.
  QTest::mouseClick(s.Widget(check->Name()), Qt::LeftButton);
  EXPECT_TRUE(check->checked);
}

TEST_F(WindowTest, TabFollowsThePageOrderMnemonicsAndEscapeAskTheExitQuestion) {
  Open();
  WindowSession& s = *session;
  Show("TabSheet12");
  s.Window().activateWindow();
  QApplication::setActiveWindow(&s.Window());
  s.Widget("UserName")->setFocus();
  for (const char* expected : {"GroupName", "NewPass", "ConfirmPass"}) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    EXPECT_EQ(QApplication::focusWidget()->objectName().toStdString(), expected);
  }
  EXPECT_EQ(qobject_cast<QLineEdit*>(s.Widget("NewPass"))->echoMode(), QLineEdit::Password);
  // The labels are their edits' buddies; "&" gives the buttons their keys.
  EXPECT_EQ(qobject_cast<QLabel*>(s.Widget("UserNameLabel"))->buddy(), s.Widget("UserName"));
  EXPECT_EQ(qobject_cast<QPushButton*>(s.Widget("Next"))->shortcut(), QKeySequence("Alt+N"));
  EXPECT_EQ(qobject_cast<QPushButton*>(s.Widget("ExitSetup"))->shortcut(), QKeySequence("Alt+E"));
  EXPECT_EQ(s.Widget("ExitSetup")->accessibleName(), "Exit Setup");
  EXPECT_TRUE(qobject_cast<QPushButton*>(s.Widget("Next"))->isDefault());

  {
    BoxAnswerer cancel(std::map<std::string, std::string>{{"ExitSetup", "Cancel"}});
    QTest::keyClick(&s.Window(), Qt::Key_Escape);
    EXPECT_EQ(cancel.Answered(), std::vector<std::string>{"ExitSetup: Cancel"});
    EXPECT_FALSE(s.ui.Ended());
  }
  BoxAnswerer ok(std::map<std::string, std::string>{{"ExitSetup", "OK"}});
  QTest::keyClick(&s.Window(), Qt::Key_Escape);
  ASSERT_TRUE(s.ui.Ended());
  EXPECT_EQ(s.ui.Ended()->code, ui::kExitUserExit);
}

// What of a page's text does not show: a label or button smaller than its
// text, a page wider than the window.
std::vector<std::string> CutOff(QWidget* root) {
  std::vector<std::string> cut;
  for (QLabel* label : root->findChildren<QLabel*>()) {
    if (!label->isVisibleTo(root) || label->text().isEmpty()) continue;
    const bool fits = label->wordWrap() ? label->heightForWidth(label->width()) <= label->height()
                                        : label->sizeHint().width() <= label->width() &&
                                              label->sizeHint().height() <= label->height();
    if (!fits)
      cut.push_back(label->objectName().toStdString() + " \"" + label->text().toStdString() + "\"");
  }
  for (QAbstractButton* button : root->findChildren<QAbstractButton*>()) {
    if (!button->isVisibleTo(root)) continue;
    if (button->sizeHint().width() > button->width())
      cut.push_back(button->objectName().toStdString() + " \"" + button->text().toStdString() +
                    "\"");
  }
  if (auto* scroll = qobject_cast<QScrollArea*>(root)) {
    if (scroll->widget()->minimumSizeHint().width() > scroll->viewport()->width())
      cut.push_back("page wider than the window");
  }
  return cut;
}

void Settle(QWidget& window) {
  for (int i = 0; i < 3; ++i) {
    QCoreApplication::processEvents();
    if (window.layout()) window.layout()->activate();
  }
}

// Saves a window's picture when the screenshots are asked for.
void Shot(QWidget& window, const std::string& name) {
  const char* dir = std::getenv("NIMBRA_SCREENSHOTS");
  if (!dir) return;
  EXPECT_TRUE(window.grab().save(QString::fromStdString(std::string(dir) + "/" + name + ".png")));
}

TEST_F(WindowTest, EveryTextFitsOnEveryPageOfTheStandardAndGatewaySequencesAndTheDialogs) {
  const char* scale = std::getenv("QT_SCALE_FACTOR");
  if (!scale) {
    // The same check at a device pixel ratio of 2, in a process of its own.
    const auto r = testsupport::RunCommand("QT_SCALE_FACTOR=2 /proc/" + std::to_string(::getpid()) +
                                           "/exe --gtest_filter='WindowTest.EveryTextFits*' 2>&1");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("[  PASSED  ] 1 test"), std::string::npos) << r.out;
  }
  Open();
  WindowSession& s = *session;
  if (scale) {
    EXPECT_DOUBLE_EQ(s.Window().devicePixelRatioF(), std::atof(scale));
  }
  EXPECT_EQ(s.Window().size(), QSize(550, 377));
  int shown = 0;
  for (const auto& [sequence, build] : std::vector<std::pair<std::string, std::function<void()>>>{
           {"standard", [&] { s.wizard.Standardpages(); }},
           {"gateway", [&] { s.wizard.Gatewaypages(); }}}) {
    build();
    int n = 0;
    for (const std::string& page : s.wizard.Settings().PageList) {
      if (page.empty()) continue;
      Show(page);
      Settle(s.Window());
      ++shown;
      EXPECT_EQ(CutOff(s.Window().PageWidget(page)), std::vector<std::string>{})
          << sequence << " " << page;
      char number[16];
      std::snprintf(number, sizeof number, "%02d", ++n);
      Shot(s.Window(), sequence + "-" + number + "-" + page);
    }
  }
  EXPECT_GT(shown, 20);
  EXPECT_EQ(CutOff(&s.Window()), std::vector<std::string>{}) << "bottom bar";

  // The companion windows and the key logon window.
  std::vector<std::unique_ptr<ui::Form>> dialogs;
  for (auto make :
       {ui::MakeSaveDataForm, ui::MakeCalyTimeoutForm, ui::MakePrepForm, ui::MakeBackDropForm,
        ui::MakeMouseCaptureForm, ui::MakeOldLogonForm, ui::MakeTestInstallForm})
    dialogs.push_back(make());
  dialogs.push_back(keys::MakeLogonWindow({"Jo", "Ann"}, "Jo"));
  // The capture dialog as the key creation shows it: scribbled on.
  dialogs[4]->onMouseMove = [](int, int, int) {};
  for (const auto& form : dialogs) {
    FormWindow window(
        *form, [](const ui::Control*, const std::function<void()>&) {},
        [](const std::string&) { return QPixmap(); }, nullptr);
    window.show();
    Settle(window);
    EXPECT_EQ(CutOff(&window), std::vector<std::string>{}) << form->Name();
    Shot(window, "dialog-" + form->Name());
  }
}

TEST_F(WindowTest, TheBackdropPlacesItsMarkBesideTheLogoAndTheCaptureDrawsWhereTheMouseGoes) {
  Open();
  WindowSession& s = *session;
  FormWindow backdrop(
      s.wizard.Dialog("TBackDropForm"), [](const ui::Control*, const std::function<void()>&) {},
      [](const std::string&) { return QPixmap(); }, nullptr);
  const QRect logo = backdrop.WidgetOf("BackLogo")->geometry();
  EXPECT_EQ(backdrop.WidgetOf("TMLabel")->x(), logo.right() + 1 + 2);
  EXPECT_EQ(backdrop.WidgetOf("BackImage2")->x(), logo.right() + 1 + 5);

  // A capture dialog that closes itself after ten moves, shown modally.
  ui::Form capture("TfrmMouseCapture", "Now recording random mouse movements...");
  ui::Control& progress = capture.Add("ProgressBar1", ui::ControlKind::ProgressBar, "");
  progress.maximum = 10;
  std::vector<std::pair<int, int>> moves;
  capture.onMouseMove = [&](int shift, int x, int y) {
    moves.emplace_back(x, y);
    progress.position = static_cast<int>(moves.size());
    if (shift & 1) moves.back().first = -moves.back().first;
    if (moves.size() == 10) capture.Close(ui::ModalResult::Ok);
  };
  int circles = 0;
  QTimer::singleShot(20, [&] {
    auto* window = qobject_cast<FormWindow*>(s.ui.WindowOf(capture));
    ASSERT_NE(window, nullptr);
    auto* area = qobject_cast<PictureView*>(window->WidgetOf("CaptureArea"));
    ASSERT_NE(area, nullptr);
    for (int i = 0; i < 10; ++i) {
      const QPointF at(10 + i * 5, 20 + i);
      QMouseEvent move(QEvent::MouseMove, at, area->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                       Qt::ShiftModifier);
      QCoreApplication::sendEvent(area, &move);
      circles = static_cast<int>(area->Trail().size());
    }
  });
  EXPECT_EQ(s.ui.ShowModal(capture), ui::ModalResult::Ok);
  ASSERT_EQ(moves.size(), 10u);
  EXPECT_EQ(moves[3], std::make_pair(-25, 23));
  EXPECT_EQ(circles, 10);
}

TEST_F(WindowTest, TheDriveDialogOffersTheMachinesDrivesAndGivesAWindowsPath) {
  Open();
  WindowSession& s = *session;
  s.machine.ForceDirectories("C:\\Data\\Keys");
  DriveDialog folder(s.machine, DriveDialog::Mode::Folder, "Data Location", "C:\\Data", "",
                     nullptr);
  auto* tree = folder.findChild<QTreeWidget*>();
  ASSERT_NE(tree, nullptr);
  QStringList roots;
  for (int i = 0; i < tree->topLevelItemCount(); ++i) roots << tree->topLevelItem(i)->text(0);
  EXPECT_TRUE(roots.contains("C:\\")) << roots.join(' ').toStdString();
  EXPECT_TRUE(roots.contains("D:\\"));
  ASSERT_NE(tree->currentItem(), nullptr);
  EXPECT_EQ(tree->currentItem()->text(0), "Data");
  // The folder below, opened as a person opens it.
  tree->currentItem()->setExpanded(true);
  ASSERT_EQ(tree->currentItem()->childCount(), 1);
  tree->setCurrentItem(tree->currentItem()->child(0));
  folder.accept();
  EXPECT_EQ(folder.Chosen(), std::optional<std::string>("C:\\Data\\Keys"));

  DriveDialog save(s.machine, DriveDialog::Mode::Save, "Accounts", "C:\\Data", "Users.txt",
                   nullptr);
  save.accept();
  EXPECT_EQ(save.Chosen(), std::optional<std::string>("C:\\Data\\Users.txt"));
  save.reject();
  EXPECT_EQ(save.Chosen(), std::nullopt);
}

// Records the paints of a window while a timer asks for one every 16 ms.
class PaintClock : public QObject {
 public:
  explicit PaintClock(QWidget& window) : window_(window) {
    qApp->installEventFilter(this);
    connect(&timer_, &QTimer::timeout, this, [this] { window_.update(); });
    timer_.start(16);
    clock_.start();
  }
  ~PaintClock() override { qApp->removeEventFilter(this); }
  void Start() {
    last_ = clock_.elapsed();
    longest_ = 0;
  }
  qint64 Longest() const { return longest_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && watched == &window_) {
      const qint64 now = clock_.elapsed();
      longest_ = std::max(longest_, now - last_);
      last_ = now;
    }
    return false;
  }

 private:
  QWidget& window_;
  QTimer timer_;
  QElapsedTimer clock_;
  qint64 last_ = 0;
  qint64 longest_ = 0;
};

// 200,000 empty files in 200 folders, made once.
std::filesystem::path LargeDrive() {
  static testsupport::TempFolder made("nimbra-qt-large-drive");
  static bool done = false;
  if (!done) {
    for (int d = 0; d < 200; ++d) {
      const auto folder = made.Path() / ("folder" + std::to_string(d));
      std::filesystem::create_directory(folder);
      for (int f = 0; f < 1000; ++f) {
        const std::string file = (folder / ("file" + std::to_string(f) + ".txt")).string();
        const int fd = ::open(file.c_str(), O_CREAT | O_WRONLY, 0644);
        if (fd >= 0) ::close(fd);
      }
    }
    done = true;
  }
  return made.Path();
}

TEST_F(WindowTest, TheWindowRepaintsDuringTheSearchOfALargeDriveAndTheKeyCreation) {
  const auto drive = LargeDrive();
  {
    platform::Machine m = platform::Machine::Open(dir);
    m.AddDrive('E', drive, platform::DriveType::Fixed, "FILES");
  }
  Open();
  WindowSession& s = *session;
  BoxAnswerer answerer(kDemoBoxAnswers);
  PaintClock clock(s.Window());
  struct Press {
    std::string page;
    qint64 took;
    qint64 longestGap;
    bool exitDisabled;
  };
  std::vector<Press> presses;
  bool exitDisabled = false;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (!s.Widget("ExitSetup")->isEnabled()) exitDisabled = true;
  });
  watch.start(16);
  DriveStandardInstall(s, [&](const std::string& page, const std::function<void()>& press) {
    QElapsedTimer took;
    took.start();
    clock.Start();
    exitDisabled = false;
    if (page == "TabSheet28") {
      const auto drives = s.Form().At("DriveCheck").CheckedItems();
      EXPECT_TRUE(std::any_of(drives.begin(), drives.end(),
                              [](const std::string& d) { return d.starts_with("E:\\"); }));
    }
    press();
    presses.push_back({page, took.elapsed(), clock.Longest(), exitDisabled});
  });
  ASSERT_TRUE(s.ui.Ended());
  EXPECT_EQ(s.ui.Ended()->code, 0) << s.ui.Ended()->reason;
  // The press that searched the drives (leaving the drive page) and the
  // longest of the others (the installation run creates the keys).
  const auto search = std::find_if(presses.begin(), presses.end(),
                                   [](const Press& p) { return p.page == "TabSheet28"; });
  ASSERT_NE(search, presses.end());
  const auto install =
      std::max_element(presses.begin(), presses.end(), [&](const Press& a, const Press& b) {
        return (&a == &*search ? 0 : a.took) < (&b == &*search ? 0 : b.took);
      });
  std::cout << "search of 200,000 files: " << search->took << " ms, longest gap between paints "
            << search->longestGap << " ms\n"
            << "longest other step (" << install->page << ", key creation): " << install->took
            << " ms, longest gap between paints " << install->longestGap << " ms\n";
  EXPECT_TRUE(search->exitDisabled);
  // The goal is below 100 ms; the bound leaves room for a loaded, sanitized build.
  EXPECT_LT(search->longestGap, 500);
  EXPECT_LT(install->longestGap, 500);
}

}  // namespace
}  // namespace nimbra::uiqt::testing
