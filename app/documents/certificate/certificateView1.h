#pragma once
// The certificate's first page: the patient and clinic blocks, two face judgements, the examination,
// first-visit, next-visit and treatment-start dates (the first and the third with their weekdays), ten
// treatment fields filled from the treatment list or typed, and check marks. Fill-out mode edits the
// shared certificate record; print mode shows it in the print language.
#include <QByteArray>
#include <QDate>
#include <QPointer>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "app/documents/certificate/tableListView.h"
#include "app/documents/pages/certificatePageView.h"
#include "app/shell/datePickerView.h"
#include "app/store/ClinicState.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/TextView.h"

class QLabel;
namespace Ui {
class certificateView1;
}

class certificateView1 : public certificatePageView,
                         public datePiclerViewControllerDelegate,
                         public tableListDelegate {
    Q_OBJECT
  public:
    static constexpr const char* kSceneIdentifier = "certificateView1";
    certificateView1();
    ~certificateView1() override;

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;

    void setInitialData();
    void getClinicInfo();
    void setFaceIcon(int tag);
    void showDatePicker(int tag);
    // Writes "（<weekday>）" of the date into the label.
    static void getWeekDay(const QDate& date, QLabel* target);
    static std::string translateJapaneseSectionFourToEnglish(const std::string& phrase);
    static std::string translateJapaneseSectionFourToChinese(const std::string& phrase);
    // A date as this page shows it in a language ("MMM-dd-yyyy" in English, else "yyyy年 M月 d日").
    static std::string formatDate(const QDate& date, const std::string& language);

    void popoverClose(const QDateTime& date, int32_t tagNo) override;
    void popoverListClose(const std::string& text, int32_t tagNo, bool closeFlag) override;
    bool textViewShouldBeginEditing(ui::TextView& view) override;
    void textViewDidEndEditing(ui::TextView& view) override;
    void touchesEnded(QWidget* touched) override;
    void keyboardWillShow(const foundation::Notification& notification) override;
    void keyboardWillHide(const foundation::Notification& notification) override;

    QLabel* label(const char* name) const;
    ui::TextView* textViewWithTag(int tag) const;
    bool inputFlag() const { return inputFlag_; }
    const std::shared_ptr<ui::ViewController>& pop() const { return pop_; }
    const std::optional<QByteArray>& logoData() const { return logoData_; }

  protected:
    void setupForm(QWidget* form) override;

  private:
    void setCaptions();
    void setText(QLabel* label, const std::string& text);

    std::unique_ptr<Ui::certificateView1> ui_;
    std::shared_ptr<ui::ViewController> pop_;
    std::optional<QByteArray> logoData_;
    bool viewMoved_ = false;
    bool inputFlag_ = false;
    int32_t saveViewTag_ = 0;
};
