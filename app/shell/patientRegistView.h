#pragma once
// The patient registration form: the patient's columns split into fields, checked in a fixed order
// before saving into patientMst and patientSrv. Birthday and first-visit date come from the date
// picker popover; the postal code fills prefecture and city through the geocoder; fields low on the
// screen lift the form above the keyboard.
#include <QPointer>
#include <memory>
#include <vector>

#include "app/shell/OneRunAtATime.h"
#include "app/shell/datePickerView.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/TextField.h"
#include "platform/ui/ViewController.h"

class QLabel;
class zurarerizIvaDadadavu;
namespace geo {
class Geocoder;
}
namespace ui {
class BarButtonItem;
class SegmentedControl;
} // namespace ui
namespace Ui {
class patientRegistView;
}

class patientRegistView : public ui::ViewController,
                          public ui::TextFieldDelegate,
                          public datePiclerViewControllerDelegate {
    Q_OBJECT
  public:
    static constexpr const char* kSceneIdentifier = "patientRegistView";
    // Fields from this tag on sit low on the screen: the keyboard lifts the form for them.
    static constexpr int kLiftingTag = 1000;

    patientRegistView();
    ~patientRegistView() override;

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidDisappear(bool animated) override;

    void setRegistedInfo();
    void registData();
    bool inputDataCheck();
    void tapCancelButton();

    bool textFieldShouldBeginEditing(ui::TextField& field) override;
    void textFieldDidEndEditing(ui::TextField& field) override;
    bool textFieldShouldReturn(ui::TextField& field) override;
    void keyboardWillShow(const foundation::Notification& notification);
    void keyboardWillHide(const foundation::Notification& notification);
    void popoverClose(const QDateTime& date, int32_t tagNo) override;

    // Outlets, once the view is loaded.
    QLabel* patientIDLabel() const;
    ui::TextField* name1Text() const;
    ui::TextField* name2Text() const;
    ui::TextField* kana1Text() const;
    ui::TextField* kana2Text() const;
    ui::SegmentedControl* sexSegument() const;
    ui::TextField* birthText() const;
    ui::TextField* postalText() const;
    ui::TextField* stateText() const;
    ui::TextField* address1Text() const;
    ui::TextField* address2Text() const;
    ui::TextField* tel11Text() const;
    ui::TextField* tel12Text() const;
    ui::TextField* tel13Text() const;
    ui::TextField* tel21Text() const;
    ui::TextField* tel22Text() const;
    ui::TextField* tel23Text() const;
    ui::TextField* bizText() const;
    ui::TextField* startText() const;
    QLabel* errorMsgText() const;

    int nowTagNo() const { return nowTagNo_; }
    bool viewUpFlg() const { return viewUpFlg_; }
    const std::shared_ptr<geo::Geocoder>& geocoder() const { return geocoder_; }
    const std::shared_ptr<datePickerView>& pop() const { return pop_; }
    const std::shared_ptr<zurarerizIvaDadadavu>& appDelegate() const { return appDelegate_; }

    // Whether a text field's tag marks it optional.
    static bool isOptionalTag(int tag);

  protected:
    void loadView() override;

  private:
    void showDatePicker(ui::TextField& field);
    void lookUpPostalCode();

    std::unique_ptr<Ui::patientRegistView> form_;
    std::shared_ptr<zurarerizIvaDadadavu> appDelegate_;
    std::shared_ptr<ui::BarButtonItem> cancelItem_;
    int nowTagNo_ = 0;
    bool viewUpFlg_ = false;
    std::shared_ptr<geo::Geocoder> geocoder_;
    std::shared_ptr<datePickerView> pop_;
    ui::KeyboardObservers keyboard_;
    shell::OneRunAtATime registering_;
};
