#pragma once
// The questionnaire's print preview: its three pages in print mode, one capture band apart, with the
// radar chart of the stored scores over page 3's grid.
#include <memory>

#include "app/documents/pages/PrintPreview.h"

class inquiryPageView;
class radarChartView;
namespace Ui {
class printInquiryView;
}

class printInquiryView : public PrintPreview {
    Q_OBJECT
  public:
    static constexpr const char* kSceneIdentifier = "printInquiryView";

    printInquiryView();
    ~printInquiryView() override;

    void viewDidLoad() override;
    // The print operation.
    void printInquiry() { print(); }

    QScrollArea* scrollView() const override;
    radarChartView* radarChart() const;
    std::shared_ptr<inquiryPageView> page(int number) const;

  protected:
    void loadView() override;

  private:
    std::unique_ptr<Ui::printInquiryView> form_;
};
