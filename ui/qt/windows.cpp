#include "ui/qt/windows.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QScrollArea>
#include <QVBoxLayout>

#include "core/strings.h"
#include "ui/qt/picture.h"

namespace nimbra::uiqt {

namespace {

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

constexpr Qt::WindowFlags kNoBorderIcons =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;

}  // namespace

FormWindowBase::FormWindowBase(ui::Form& form, Dispatch dispatch, PictureLoader pictures,
                               QWidget* parent)
    : QDialog(parent, kNoBorderIcons),
      form_(form),
      dispatch_(std::move(dispatch)),
      pictures_(std::move(pictures)) {
  setObjectName(Q(form.Name()));
}

// ---- the wizard ----

WizardWindow::WizardWindow(ui::Form& form, Dispatch dispatch, PictureLoader pictures)
    : FormWindowBase(form, std::move(dispatch), std::move(pictures), nullptr) {
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(6, 6, 6, 6);
  outer->setSpacing(4);

  std::vector<ui::Control*> header, bar;
  for (const auto& c : form.Controls()) {
    if (!c.Page().empty()) continue;
    auto* control = form.Find(c.Name());
    (c.Name() == "HeadLogo" || c.Name() == "ReleaseLabel" ? header : bar).push_back(control);
  }
  auto* headerRow = new QHBoxLayout;
  outer->addLayout(headerRow);
  stack_ = new QStackedWidget(this);
  outer->addWidget(stack_, 1);
  auto* barRow = new QHBoxLayout;
  outer->addLayout(barRow);

  // The frame's controls: the header's in the header row, the rest in the bar.
  std::vector<ui::Control*> frame = header;
  frame.insert(frame.end(), bar.begin(), bar.end());
  auto* frameLayout = new QVBoxLayout;  // holds nothing: the rows below are placed by hand
  frame_ = std::make_unique<ControlSet>(form, frame, dispatch_, pictures_, this, frameLayout);
  delete frameLayout;
  for (const auto& b : frame_->Bindings()) {
    const std::string& name = b->Model().Name();
    if (name == "HeadLogo" || name == "ReleaseLabel") {
      headerRow->addWidget(b->Widget(), name == "HeadLogo" ? 0 : 1,
                           name == "HeadLogo" ? Qt::AlignLeft : Qt::AlignRight | Qt::AlignVCenter);
    }
  }
  for (const char* name : {"MouseComplete", "ProgressBar1"})
    barRow->addWidget(frame_->Find(name)->Widget());
  barRow->addStretch();
  for (const char* name : {"ExitSetup", "Prev", "Next"})
    barRow->addWidget(frame_->Find(name)->Widget());

  // One page at a time: the group box with the page's title, its controls
  // inside a scroll area so that a long page never cuts text off.
  for (const ui::Page& page : form.Pages()) {
    PageView view;
    auto* scroll = new QScrollArea(stack_);
    scroll->setObjectName(Q(page.name));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    view.box = new QGroupBox(Q(page.title), scroll);
    view.box->setMouseTracking(true);
    view.box->installEventFilter(this);
    auto* layout = new QVBoxLayout(view.box);
    view.controls = std::make_unique<ControlSet>(form, form.ControlsOf(page.name), dispatch_,
                                                 pictures_, view.box, layout);
    layout->addStretch();
    scroll->setWidget(view.box);
    view.widget = scroll;
    view.title = page.title;
    stack_->addWidget(scroll);
    pages_.emplace(page.name, std::move(view));
  }
  resize(form.width > 0 ? form.width : 550, form.height > 0 ? form.height : 377);
  Sync();
}

QWidget* WizardWindow::PageWidget(const std::string& page) const {
  const auto it = pages_.find(page);
  return it == pages_.end() ? nullptr : it->second.widget;
}

QWidget* WizardWindow::WidgetOf(const std::string& control) const {
  if (ControlBinding* b = frame_->Find(control)) return b->Widget();
  for (const auto& [name, page] : pages_) {
    if (ControlBinding* b = page.controls->Find(control)) return b->Widget();
  }
  return nullptr;
}

void WizardWindow::Sync() {
  if (appliedCaption_ != form_.caption) {
    setWindowTitle(Q(form_.caption));
    appliedCaption_ = form_.caption;
  }
  frame_->Sync();
  const std::string& active = form_.ActivePage();
  for (auto& [name, page] : pages_) {
    // Only the shown page needs to be current; the others catch up when shown.
    if (name != active) continue;
    if (const ui::Page* model = form_.FindPage(name); model && model->title != page.title) {
      page.box->setTitle(Q(model->title));
      page.title = model->title;
    }
    page.controls->Sync();
  }
  if (active != shownPage_) {
    if (QWidget* w = PageWidget(active)) stack_->setCurrentWidget(w);
    shownPage_ = active;
  }
  // Enter presses Finish on the page that shows it, Next elsewhere.
  QWidget* finish = WidgetOf("Finish");
  auto* next = qobject_cast<QPushButton*>(WidgetOf("Next"));
  const bool finishShown = finish && active == "TabSheet19" && form_.At("Finish").visible;
  if (auto* f = qobject_cast<QPushButton*>(finish)) f->setDefault(finishShown);
  if (next) next->setDefault(!finishShown);
}

bool WizardWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseMove && form_.onMouseMove) {
    auto* move = static_cast<QMouseEvent*>(event);
    const QPoint p = move->position().toPoint();
    const int shift = ShiftState(move->modifiers(), move->buttons());
    dispatch_(nullptr, [this, shift, p] {
      if (form_.onMouseMove) form_.onMouseMove(shift, p.x(), p.y());
    });
  }
  return FormWindowBase::eventFilter(watched, event);
}

void WizardWindow::reject() {
  // Escape: the Exit question, only where the Exit button could be pressed.
  dispatch_(&form_.At("ExitSetup"), [this] { form_.Click("ExitSetup"); });
}

void WizardWindow::closeEvent(QCloseEvent* event) {
  event->ignore();
  reject();
}

// ---- companion windows ----

FormWindow::FormWindow(ui::Form& form, Dispatch dispatch, PictureLoader pictures, QWidget* parent)
    : FormWindowBase(form, std::move(dispatch), std::move(pictures), parent) {
  std::vector<ui::Control*> controls;
  for (const auto& c : form.Controls()) controls.push_back(form.Find(c.Name()));
  auto* layout = new QVBoxLayout(this);
  const bool backdrop = form.Name() == "TBackDropForm";
  controls_ = std::make_unique<ControlSet>(form, controls, dispatch_, pictures_, this, layout);
  if (form.onMouseMove) {
    // The capture dialog: the person scribbles on the client area.
    auto* area = new PictureView("MouseScribble", this);
    area->setObjectName("CaptureArea");
    area->SetMouseHandler([this](int shift, int x, int y) {
      dispatch_(nullptr, [this, shift, x, y] {
        if (form_.onMouseMove) form_.onMouseMove(shift, x, y);
      });
    });
    layout->insertWidget(1, area, 1);
  }
  if (backdrop) {
    // The backdrop places its pictures itself.
    delete layout;
    for (const auto& b : controls_->Bindings()) b->Widget()->setParent(this);
    setStyleSheet("FormWindow#TBackDropForm { background: #00307a; }");
  }
  for (const char* name : {"OK", "Logon"}) {
    if (auto* b = controls_->Find(name)) {
      if (auto* button = qobject_cast<QPushButton*>(b->Widget())) button->setDefault(true);
    }
  }
  if (form.width > 0 && form.height > 0) resize(form.width, form.height);
  if (backdrop) resize(640, 200);
  Sync();
  if (backdrop) PlaceBackdrop();
}

// The backdrop's logo at the top left; the "TM" label starts 2 pixels and the
// second picture 5 pixels right of the logo's right edge.
void FormWindow::PlaceBackdrop() {
  QWidget* logo = controls_->Find("BackLogo")->Widget();
  logo->setGeometry(QRect(QPoint(16, 16), logo->sizeHint()));
  const int right = logo->geometry().right() + 1;  // first pixel right of the logo
  QWidget* tm = controls_->Find("TMLabel")->Widget();
  tm->setStyleSheet("color: white;");
  tm->setGeometry(QRect(QPoint(right + 2, 16), tm->sizeHint()));
  QWidget* second = controls_->Find("BackImage2")->Widget();
  second->setGeometry(QRect(QPoint(right + 5, 16 + tm->sizeHint().height()), second->sizeHint()));
}

QWidget* FormWindow::WidgetOf(const std::string& control) const {
  if (control == "CaptureArea") return findChild<QWidget*>("CaptureArea");
  ControlBinding* b = controls_->Find(control);
  return b ? b->Widget() : nullptr;
}

void FormWindow::Sync() {
  if (appliedCaption_ != form_.caption) {
    setWindowTitle(Q(form_.caption));
    appliedCaption_ = form_.caption;
  }
  controls_->Sync();
}

void FormWindow::reject() {
  if (form_.Has("Cancel")) dispatch_(&form_.At("Cancel"), [this] { form_.Click("Cancel"); });
}

void FormWindow::closeEvent(QCloseEvent* event) {
  event->ignore();
  reject();
}

}  // namespace nimbra::uiqt
