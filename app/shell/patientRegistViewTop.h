#pragma once
// The first patient registration screen: asks for the patient ID, loads that patient (a new ID loads
// nothing) and opens the registration form.
#include <memory>

#include "platform/ui/TextField.h"
#include "platform/ui/ViewController.h"

class zurarerizIvaDadadavu;
namespace Ui {
class patientRegistViewTop;
}

class patientRegistViewTop : public ui::ViewController, public ui::TextFieldDelegate {
    Q_OBJECT
  public:
    static constexpr const char* kSceneIdentifier = "patientRegistViewTop";
    static constexpr const char* kStartSegue = "registStartSegue";

    patientRegistViewTop();
    ~patientRegistViewTop() override;

    void viewDidLoad() override;
    void registerStart();
    bool textFieldShouldReturn(ui::TextField& field) override;

    ui::TextField* patientIDBox() const;
    const std::shared_ptr<zurarerizIvaDadadavu>& appDelegate() const { return appDelegate_; }

  protected:
    void loadView() override;

  private:
    std::unique_ptr<Ui::patientRegistViewTop> form_;
    std::shared_ptr<zurarerizIvaDadadavu> appDelegate_;
};
