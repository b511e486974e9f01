#pragma once
// The date picker popover's content (scene "datePickerContents"): a picker for a date, a date with a
// time, or a slashed date, whose every change is written into the target label or field at once and
// reported to its delegate with the field's tag. It never closes its popover itself: a tap outside
// does. Opened on an empty field it fills the field at once.
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/ui/ViewController.h"

class zurarerizIvaDadadavu;
namespace ui {
class DatePicker;
}
namespace Ui {
class datePickerView;
}

class datePiclerViewControllerDelegate {
  public:
    virtual ~datePiclerViewControllerDelegate() = default;
    // The picker's date after each change, with the edited field's tag.
    virtual void popoverClose(const QDateTime& date, int32_t tagNo) = 0;
};

class datePickerView : public ui::ViewController {
    Q_OBJECT
  public:
    static constexpr const char* kSceneIdentifier = "datePickerContents";

    datePickerView();
    ~datePickerView() override;

    void viewDidLoad() override;
    // The picker's value-changed action.
    void datePickerValueChange();

    std::shared_ptr<datePiclerViewControllerDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<datePiclerViewControllerDelegate> d) { delegate_ = std::move(d); }
    std::shared_ptr<ui::ViewController> parentView() const { return parentView_.lock(); }
    void setParentView(std::weak_ptr<ui::ViewController> v) { parentView_ = std::move(v); }
    const std::string& pickerType() const { return pickerType_; }
    void setPickerType(std::string t) { pickerType_ = std::move(t); }
    const std::string& tagNoStr() const { return tagNoStr_; }
    void setTagNoStr(std::string t) { tagNoStr_ = std::move(t); }
    const std::string& defaultDateStr() const { return defaultDateStr_; }
    void setDefaultDateStr(std::string d) { defaultDateStr_ = std::move(d); }
    QLabel* targetLabel() const { return targetLabel_; }
    void setTargetLabel(QLabel* label) { targetLabel_ = label; }
    QLineEdit* targetText() const { return targetText_; }
    void setTargetText(QLineEdit* field) { targetText_ = field; }
    // Whose `certifiDataList` a target label's date goes into; the running application's by default.
    void setAppDelegate(std::shared_ptr<zurarerizIvaDadadavu> d) { appDelegate_ = std::move(d); }

    ui::DatePicker* datePicker() const;
    // The text format of a picker type.
    static std::string displayFormat(const std::string& pickerType);
    // Where a picker of the type starts for a stored date text: in its own format or any other form
    // the forms store dates in; none for a text that is no date.
    static std::optional<QDateTime> startDate(const std::string& text, const std::string& pickerType);
    std::string formattedDate() const;

  protected:
    void loadView() override;

  private:
    std::unique_ptr<Ui::datePickerView> form_;
    std::weak_ptr<datePiclerViewControllerDelegate> delegate_;
    std::weak_ptr<ui::ViewController> parentView_;
    std::string pickerType_;
    std::string tagNoStr_;
    std::string defaultDateStr_;
    QPointer<QLabel> targetLabel_;
    QPointer<QLineEdit> targetText_;
    std::shared_ptr<zurarerizIvaDadadavu> appDelegate_;
    QString format_;
};
