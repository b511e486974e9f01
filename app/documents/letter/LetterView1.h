#pragma once
// The referral letter's first page: the clinic's and the patient's headers, the clinic or hospital
// referred to, the letter's date and eight free texts. Fill-out mode edits the shared letter record
// and referral target; print mode shows them read-only.
#include <QDate>
#include <cstdint>
#include <memory>
#include <string>

#include "app/documents/pages/certificatePageView.h"
#include "app/shell/datePickerView.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextView.h"

class QLabel;
namespace Ui {
class LetterView1;
}

class LetterView1 : public certificatePageView,
                    public datePiclerViewControllerDelegate,
                    public ui::TextFieldDelegate {
    Q_OBJECT
  public:
    static constexpr const char* kSceneIdentifier = "LetterView1";
    // What the date labels hold until a date is known.
    static constexpr const char* kDatePlaceholder = "    年  月  日";

    LetterView1();
    ~LetterView1() override;

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    void getClinicInfo();
    void setInitialData();
    void showDatePicker(int tag);
    // Whole years from the birthday ("yyyy年 M月 d日") to `today`; empty when the birthday can't be read.
    static std::string ageText(const std::string& birthday, const QDate& today);
    // The clinic's telephone line: the number alone without a fax number, else both.
    static std::string clinicTelText(const std::string& tel, const std::string& fax);

    void popoverClose(const QDateTime& date, int32_t tagNo) override;
    void touchesEnded(QWidget* touched) override;
    void textFieldDidBeginEditing(ui::TextField& field) override;
    void textFieldDidEndEditing(ui::TextField& field) override;
    bool textFieldShouldReturn(ui::TextField& field) override;
    bool textViewShouldBeginEditing(ui::TextView& view) override;
    void textViewDidEndEditing(ui::TextView& view) override;
    void keyboardWillShow(const foundation::Notification& notification) override;
    void keyboardWillHide(const foundation::Notification& notification) override;

    QLabel* label(const char* name) const;
    ui::TextField* textFieldWithTag(int tag) const;
    ui::TextView* textViewWithTag(int tag) const;
    bool KeyboardShowFlg() const { return keyboardShowFlg_; }
    const std::shared_ptr<ui::ViewController>& pop() const { return pop_; }

  protected:
    void setupForm(QWidget* form) override;
    std::string documentLanguage() const override { return "Japanese"; }
    void showBackground() override {}

  private:
    store::FormData& record() const;

    std::unique_ptr<Ui::LetterView1> ui_;
    std::shared_ptr<ui::ViewController> pop_;
    bool keyboardShowFlg_ = false;
    // Only the letter's text views move the page out of the keyboard's way.
    bool shiftsForKeyboard_ = false;
};
