#pragma once
// The referral letter's start screen: takes the patient ID, loads the patient and opens the letter to
// fill out or its print preview. Any stored patient may have a letter; no questionnaire is asked for.
#include <memory>

#include "platform/ui/TextField.h"
#include "platform/ui/ViewController.h"

class zurarerizIvaDadadavu;
namespace Ui {
class LetterViewTop;
}

class LetterViewTop : public ui::ViewController, public ui::TextFieldDelegate {
    Q_OBJECT
  public:
    static constexpr const char* kSceneIdentifier = "LetterViewTop";
    static constexpr const char* kStartSegue = "LetterStartSegue";
    static constexpr const char* kPrintSegue = "printLetterSegue";

    LetterViewTop();
    ~LetterViewTop() override;

    void viewDidLoad() override;

    // Loads the patient of the typed ID into the shared form state; false (after an alert) otherwise.
    bool getPatientInfo();
    void LetterStart();
    void printLetter();
    bool textFieldShouldReturn(ui::TextField& field) override;

    ui::TextField* patientIDBox() const;
    const std::shared_ptr<zurarerizIvaDadadavu>& appDelegate() const { return appDelegate_; }

  protected:
    void loadView() override;

  private:
    void open(bool touchMode, const char* segue);

    std::unique_ptr<Ui::LetterViewTop> form_;
    std::shared_ptr<zurarerizIvaDadadavu> appDelegate_;
};
