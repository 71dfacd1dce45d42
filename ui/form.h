#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "core/error.h"

namespace nimbra::ui {

// Raised for a control or page name that the form does not hold.
class UiError : public Exception {
 public:
  using Exception::Exception;
};

enum class ControlKind {
  Label,
  Edit,      // one line of text; `PasswordChar` edits are Edit too
  Memo,      // lines of text (items hold the lines)
  RichText,  // read-only formatted text (licence box); text holds the content
  CheckBox,
  RadioButton,  // `group` names the radio group; checking one clears the others
  Button,
  ListBox,       // items, one selection
  CheckListBox,  // items with checked states, one selection
  ComboBox,      // items, selection, editable text
  RadioGroup,    // items, one selected (itemIndex)
  Grid,          // cells[row][col]
  Panel,         // caption
  GroupBox,      // caption
  Image,         // text holds the Windows path of a loaded picture (empty: built-in)
  ProgressBar,   // position between minimum and maximum
};

enum class ModalResult { None, Ok, Cancel, Yes, No, Ignore };

struct ListItem {
  std::string text;
  bool checked = false;
};

// One control of a form, by its own name. Its state is plain data that page
// handlers read and change; renderers draw it and forward user actions to the
// event callbacks.
class Control {
 public:
  Control(std::string name, ControlKind kind, std::string page)
      : name_(std::move(name)), page_(std::move(page)), kind_(kind) {}

  const std::string& Name() const { return name_; }
  ControlKind Kind() const { return kind_; }
  // The page the control sits on, or empty for the form's header and bottom bar.
  const std::string& Page() const { return page_; }

  std::string text;  // caption of labels, buttons, boxes and panels; text of edits
  std::string hint;
  std::string group;  // radio group
  bool enabled = true;
  bool visible = true;
  bool checked = false;
  std::vector<ListItem> items;  // list entries, or the lines of a memo
  int itemIndex = -1;           // selected entry, -1 for none
  std::vector<std::vector<std::string>> cells;
  int position = 0;
  int minimum = 0;
  int maximum = 100;
  int maxLength = 0;  // 0: no limit

  // Events, called by the renderer (or the answer-file driver) for the user.
  std::function<void()> onClick;
  std::function<void()> onChange;
  std::function<void()> onPointerEnter;  // the mouse comes over the control
  std::function<void(int shift, int x, int y)> onMouseMove;

  // Memo lines joined with CR LF, and the reverse.
  std::string Lines() const;
  void SetLines(const std::vector<std::string>& lines);
  void AddLine(std::string line) { items.push_back({std::move(line), false}); }
  void Clear();

  // Index of the entry whose text equals `text` (case ignored when asked), or -1.
  int IndexOf(std::string_view text, bool ignoreCase = false) const;
  const std::string& Selected() const;  // text of the selected entry or empty
  std::vector<std::string> CheckedItems() const;

  // Grid access; reading outside the grid gives an empty text, writing grows it.
  std::string Cell(int col, int row) const;
  void SetCell(int col, int row, std::string value);
  void SetGridSize(int cols, int rows);
  int RowCount() const { return static_cast<int>(cells.size()); }

 private:
  std::string name_;
  std::string page_;
  ControlKind kind_;
};

// One page of the wizard's page stack; `title` is its group box caption.
struct Page {
  std::string name;
  std::string title;
};

// A window: the wizard itself or one of its dialogs. Controls and pages are
// looked up by name without regard to case, as the form designer's names are.
class Form {
 public:
  explicit Form(std::string name, std::string caption = {});
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  const std::string& Name() const { return name_; }
  std::string caption;  // window caption
  int width = 0;
  int height = 0;
  bool visible = false;
  bool enabled = true;

  Page& AddPage(std::string name, std::string title);
  Control& Add(std::string name, ControlKind kind, std::string page, std::string text = {});

  bool Has(std::string_view name) const { return Find(name) != nullptr; }
  Control* Find(std::string_view name);
  const Control* Find(std::string_view name) const;
  Control& At(std::string_view name);  // raises UiError when missing
  const Control& At(std::string_view name) const;
  Control& operator[](std::string_view name) { return At(name); }

  Page* FindPage(std::string_view name);
  const std::deque<Page>& Pages() const { return pages_; }
  const std::deque<Control>& Controls() const { return controls_; }
  std::vector<Control*> ControlsOf(std::string_view page);

  // The visible page of the stack (empty when none). Making a page visible
  // tells `onPageShown`.
  const std::string& ActivePage() const { return activePage_; }
  void SetActivePage(std::string_view page);
  std::function<void(const std::string& page)> onPageShown;

  // Checks or clears a check box or radio button; a checked radio button clears
  // the others of its group. Calls the control's onChange when the state changes.
  void SetChecked(std::string_view name, bool checked);
  // Presses a button as a person would: only when it is visible and enabled.
  // Returns whether the click was delivered.
  bool Click(std::string_view name);

  const std::string& Focused() const { return focused_; }
  void Focus(std::string_view name) { focused_ = std::string(name); }

  // Modal state of a dialog: Close sets the result that ends its modal loop.
  ModalResult modalResult = ModalResult::None;
  void Close(ModalResult result) { modalResult = result; }
  // Mouse moves over the form itself (the capture dialog draws on its client area).
  std::function<void(int shift, int x, int y)> onMouseMove;

 private:
  std::string name_;
  std::deque<Page> pages_;
  std::deque<Control> controls_;
  std::map<std::string, Control*> byName_;  // lower-case name -> control
  std::string activePage_;
  std::string focused_;
};

}  // namespace nimbra::ui
