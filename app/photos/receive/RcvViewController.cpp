#include "app/photos/receive/RcvViewController.h"

#include <QSysInfo>

#include "app/photos/receive/PeerListViewController.h"
#include "app/shell/PatientGate.h"
#include "app/shell/zurarerizIvaDadadavu.h"
#include "platform/ui/AlertController.h"
#include "platform/ui/Storyboard.h"
#include "ui_RcvViewController.h"

RcvViewController::RcvViewController()
    : form_(std::make_unique<Ui::RcvViewController>()), appDelegate_(zurarerizIvaDadadavu::shared()) {}

RcvViewController::~RcvViewController() = default;

void RcvViewController::loadView() {
    loadViewFromForm(*form_);
}

ui::TextField* RcvViewController::patientIDBox() const {
    return form_->patientIDBox;
}
ui::TextField* RcvViewController::displayNameTextField() const {
    return form_->displayNameTextField;
}
QPushButton* RcvViewController::createSessionButton() const {
    return form_->createSessionButton;
}

std::string RcvViewController::deviceName() {
    return QSysInfo::machineHostName().toStdString();
}

void RcvViewController::viewDidLoad() {
    setTitle("画像受信");
    navigationItem().setBackButtonTitle("戻る");
    if (appDelegate_ && appDelegate_->patientID()) patientIDBox()->setStdText(*appDelegate_->patientID());
    const std::string name = appDelegate_ ? appDelegate_->PeerDisplayName() : std::string();
    displayNameTextField()->setStdText(name.empty() ? deviceName() : name);
    auto self = std::static_pointer_cast<RcvViewController>(shared_from_this());
    patientIDBox()->setDelegate(self);
    displayNameTextField()->setDelegate(self);
    connect(createSessionButton(), &QPushButton::clicked, this,
            &RcvViewController::createSessionButtonDidTouch);
}

bool RcvViewController::textFieldShouldReturn(ui::TextField& field) {
    field.resignFirstResponder();
    return false;
}

void RcvViewController::createSessionButtonDidTouch() {
    if (displayNameTextField()->stdText().empty()) displayNameTextField()->setStdText(deviceName());
    if (appDelegate_) appDelegate_->PeerDisplayName() = displayNameTextField()->stdText();
    if (getPatientInfo()) performSegue(kPeerListSegue, createSessionButton());
}

bool RcvViewController::getPatientInfo() {
    return appDelegate_ &&
           shell::passPatientGate(*this, *appDelegate_, patientIDBox()->stdText(), kInquirySegue);
}

void RcvViewController::prepareForSegue(ui::StoryboardSegue& segue, QObject*) {
    if (segue.identifier() != kPeerListSegue) return;
    auto destination = std::dynamic_pointer_cast<PeerListViewController>(segue.destination());
    if (!destination) return;
    destination->setPatientID(appDelegate_ && appDelegate_->patientID() ? *appDelegate_->patientID() : "");
    destination->createSessionWithDisplayName(displayNameTextField()->stdText());
}
