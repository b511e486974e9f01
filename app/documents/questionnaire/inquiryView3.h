#pragma once
#include <memory>

#include "app/documents/questionnaire/inquiryPageView.h"
#include "app/shell/datePickerView.h"
#include "platform/ui/TextView.h"

class QLabel;
namespace Ui {
class inquiryView3;
}

class inquiryView3 : public inquiryPageView,
                     public ui::TextViewDelegate,
                     public datePiclerViewControllerDelegate {
    Q_OBJECT
  public:
    static constexpr const char* kSceneIdentifier = "inquiryView3";
    inquiryView3();
    ~inquiryView3() override;

    void setInitialData() override;
    void touchesBegan(QWidget* touched) override;
    void showDatePicker(QLabel* label);
    void popoverClose(const QDateTime& date, int32_t tagNo) override;
    bool textViewShouldChangeTextInRange(ui::TextView& view, ui::TextRange range,
                                         const std::string& replacement) override;
    bool textViewShouldBeginEditing(ui::TextView& view) override;
    void textViewDidEndEditing(ui::TextView& view) override;

    ui::TextView* patientName() const;
    QLabel* inputDateLabel() const;
    const std::shared_ptr<datePickerView>& pop() const { return pop_; }
    // The input date as page 3 shows it: "MMM-dd-yyyy" in English, else "yyyy年 M月 d日".
    static std::string displayDate(const QDate& date, const std::optional<std::string>& language);

  protected:
    void setupForm(QWidget* form) override;
    std::string multiCircleImageName(int tag) const override {
        return tag < 10000 ? "circle_long.png" : "circle.png";
    }
    void connectViews(bool touchMode) override;

  private:
    std::unique_ptr<Ui::inquiryView3> ui_;
    std::shared_ptr<datePickerView> pop_;
};
