#pragma once
// The certificate's start screen: takes the patient ID and opens the one-page or three-page form to
// fill out, or the print preview of either in one of three languages. Every choice passes the patient
// gate first, which for the certificate also asks for the patient's questionnaire.
#include <QPushButton>
#include <memory>
#include <string>

#include "platform/ui/TextField.h"
#include "platform/ui/ViewController.h"

class zurarerizIvaDadadavu;
namespace Ui {
class certificateViewTop;
}

class certificateViewTop : public ui::ViewController, public ui::TextFieldDelegate {
    Q_OBJECT
  public:
    static constexpr const char* kSceneIdentifier = "certificateViewTop";
    static constexpr const char* kStartSegue = "certificateStartSegue";
    static constexpr const char* kOnePageSegue = "onePageCertificateSegue";
    static constexpr const char* kPrintSegue = "printCertificateSegue";
    static constexpr const char* kPrintOnePageSegue = "printOnePageCertificateSegue";
    static constexpr const char* kInquirySegue = "certificateToInquiry";

    certificateViewTop();
    ~certificateViewTop() override;

    void viewDidLoad() override;

    // Show or hide a group of choices together.
    void certificateStart();
    void printCertificate();
    void printThreePageCertificate();
    bool getPatientInfo();
    bool textFieldShouldReturn(ui::TextField& field) override;

    void onePageCertificateAction();
    void threePageCertificateAction();
    void japaneseCertificatePrintAction() { choose("Japanese", "Print", false, kPrintOnePageSegue); }
    void englishCertificatePrintAction() { choose("English", "Print", false, kPrintOnePageSegue); }
    void chineseCertificatePrintAction() { choose("Chinese", "Print", false, kPrintOnePageSegue); }
    void japaneseCertificateThreePagePrintAction() { choose("Japanese", "Print", false, kPrintSegue); }
    void englishCertificateThreePagePrintAction() { choose("English", "Print", false, kPrintSegue); }
    void chineseCertificateThreePagePrintAction() { choose("Chinese", "Print", false, kPrintSegue); }

    ui::TextField* patientIDBox() const;
    QPushButton* onePageCertificateButton() const;
    QPushButton* threePageCertificateButton() const;
    QPushButton* japaneseCertificatePrintButton() const;
    QPushButton* englishCertificatePrintButton() const;
    QPushButton* chineseCertificatePrintButton() const;
    QPushButton* japaneseThreePageCertificatePrintButton() const;
    QPushButton* englishThreePageCertificatePrintButton() const;
    QPushButton* chineseThreePageCertificatePrintButton() const;
    const std::shared_ptr<zurarerizIvaDadadavu>& appDelegate() const { return appDelegate_; }

  protected:
    void loadView() override;

  private:
    void choose(const std::string& language, const std::string& mode, bool touchMode, const char* segue);
    // Shows or hides the group's buttons that lead somewhere; the others stay hidden.
    void toggle(std::initializer_list<std::pair<QPushButton*, const char*>> group);

    std::unique_ptr<Ui::certificateViewTop> form_;
    std::shared_ptr<zurarerizIvaDadadavu> appDelegate_;
};
