#pragma once
// The questionnaire's start screen: takes the patient ID and the language, loads the patient and opens
// the questionnaire to fill out or its print preview.
#include <QPushButton>
#include <memory>
#include <string>

#include "platform/ui/TextField.h"
#include "platform/ui/ViewController.h"

class zurarerizIvaDadadavu;
namespace Ui {
class inquiryViewTop;
}

class inquiryViewTop : public ui::ViewController, public ui::TextFieldDelegate {
    Q_OBJECT
  public:
    static constexpr const char* kSceneIdentifier = "inquiryViewTop";
    static constexpr const char* kStartSegue = "inquiryStartSegue";
    static constexpr const char* kPrintSegue = "printInquirySegue";

    inquiryViewTop();
    ~inquiryViewTop() override;

    void viewDidLoad() override;
    // Show or hide the three fill-out (or print) language buttons together.
    void inquiryStart();
    void printInquiry();
    // Loads the patient of the typed ID into the shared form state; false (after an alert) otherwise.
    bool getPatientInfo();
    void japaneseVersionAction() { fillOut("Japanese"); }
    void englishVersionAction() { fillOut("English"); }
    void chineseVersionAction() { fillOut("Chinese"); }
    void japanesePrintAction() { print("Japanese"); }
    void englishPrintAction() { print("English"); }
    void chinesePrintAction() { print("Chinese"); }
    bool textFieldShouldReturn(ui::TextField& field) override;

    ui::TextField* patientIDBox() const;
    QPushButton* JapaneseVersionButton() const;
    QPushButton* EnglishVersionButton() const;
    QPushButton* ChineseVersionButton() const;
    QPushButton* JapanesePrintButton() const;
    QPushButton* EnglishPrintButton() const;
    QPushButton* ChinesePrintButton() const;
    const std::shared_ptr<zurarerizIvaDadadavu>& appDelegate() const { return appDelegate_; }

  protected:
    void loadView() override;

  private:
    void fillOut(const std::string& language);
    void print(const std::string& language);
    // Into the form or its preview, once the patient is loaded (and a damaged stored form is said).
    void open(bool touchMode, const char* segue);

    std::unique_ptr<Ui::inquiryViewTop> form_;
    std::shared_ptr<zurarerizIvaDadadavu> appDelegate_;
};
