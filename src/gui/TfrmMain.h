// The main window: two directory boxes with pickers, the three conversion buttons and the
// progress gauge. The conversions themselves live in app; the window hands them its state, its
// reporter and its error display.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QWidget>
#include <functional>
#include <memory>

#include "app/ConversionRun.h"
#include "app/ErrorDisplay.h"
#include "convert/MainFormState.h"
#include "app/ProgressGauge.h"
#include "gui/FolderPicker.h"

namespace gui {

class TfrmMain : public QWidget {
  Q_OBJECT

 public:
  using ConversionRunner =
      std::function<app::RunOutcome(app::Command, convert::ConversionContext&, const app::ErrorDisplay&)>;

  // Everything the window can be given instead of its defaults (tests use them).
  struct Options {
    FolderPicker* picker = nullptr;      // default: the system's directory chooser
    core::Reporter* messages = nullptr;  // default: message boxes captioned "Vestibo"
    ConversionRunner runner;             // default: app::RunConversionGuarded
  };

  explicit TfrmMain(convert::MainFormState state);
  TfrmMain(convert::MainFormState state, Options options);
  ~TfrmMain() override;

  // Runs one conversion on the window's thread with the boxes' current texts; returns when it
  // is complete or stopped (its error then shown).
  app::RunOutcome RunConversion(app::Command command);

  convert::MainFormState& State() { return state_; }
  convert::MainFormObjects& Objects() { return objects_; }
  // The reporter the conversions get: messages go to the message boxes (or the given
  // reporter), progress to the gauge.
  core::Reporter& Reporter();
  app::ErrorDisplay& Errors() { return errors_; }
  const app::ProgressGauge& Gauge() const { return gauge_; }

  // The controls, children of the window and owned by it as members. Declared in creation
  // order, which is also the default focus chain; they are destroyed before the window's base.
  QLabel Label1;
  QLineEdit edtSource;
  QPushButton Button1;
  QLabel Label2;
  QLineEdit edtDest;
  QPushButton Button2;
  QPushButton btnTXTtoPDB;
  QPushButton btnPDBtoTXT;
  QPushButton btnPDBtoDBF;
  QProgressBar p;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private slots:
  void Button1Click();
  void Button2Click();
  void btnTXTtoPDBClick();
  void btnPDBtoTXTClick();
  void btnPDBtoDBFClick();

 private:
  class WindowReporter;

  void BuildControls();
  void PickInto(QLineEdit& box);
  void ShowPercent(int percent);

  convert::MainFormState state_;
  // pt, the category tree and the packer: kept for every conversion the window runs.
  convert::MainFormObjects objects_;
  std::unique_ptr<FolderPicker> ownPicker_;
  FolderPicker* picker_;
  std::unique_ptr<core::Reporter> ownMessages_;
  core::Reporter* messages_;
  ConversionRunner runner_;
  app::ProgressGauge gauge_;
  std::unique_ptr<WindowReporter> reporter_;
  app::ErrorDisplay errors_;
  bool running_ = false;
};

}  // namespace gui
