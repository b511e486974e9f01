#pragma once
// The receive start screen: confirms the patient (who must have a questionnaire) and this device's
// display name, then opens the receive screen with a session under that name.
#include <QPushButton>
#include <memory>
#include <string>

#include "platform/ui/TextField.h"
#include "platform/ui/ViewController.h"

class zurarerizIvaDadadavu;
namespace Ui {
class RcvViewController;
}

class RcvViewController : public ui::ViewController, public ui::TextFieldDelegate {
    Q_OBJECT
  public:
    static constexpr const char* kSceneIdentifier = "RcvViewController";
    static constexpr const char* kPeerListSegue = "PushPeerListViewSegue";
    static constexpr const char* kInquirySegue = "certificateToInquiry";

    RcvViewController();
    ~RcvViewController() override;

    void viewDidLoad() override;
    bool textFieldShouldReturn(ui::TextField& field) override;
    void createSessionButtonDidTouch();
    bool getPatientInfo();
    void prepareForSegue(ui::StoryboardSegue& segue, QObject* sender) override;

    ui::TextField* patientIDBox() const;
    ui::TextField* displayNameTextField() const;
    QPushButton* createSessionButton() const;
    const std::shared_ptr<zurarerizIvaDadadavu>& appDelegate() const { return appDelegate_; }

    // The device's name, offered when no display name is set.
    static std::string deviceName();

  protected:
    void loadView() override;

  private:
    std::unique_ptr<Ui::RcvViewController> form_;
    std::shared_ptr<zurarerizIvaDadadavu> appDelegate_;
};
