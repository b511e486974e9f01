#pragma once
// The one-page certificate's print preview: the form read-only over 1064 points, exported as one page
// and printed as the capture's bands say (two).
#include <memory>

#include "app/documents/pages/PrintPreview.h"

namespace Ui {
class printOnePageCertificateView;
}
class onePageCertificateView;

class printOnePageCertificateView : public PrintPreview {
    Q_OBJECT
  public:
    static constexpr const char* kSceneIdentifier = "printOnePageCertificateView";

    printOnePageCertificateView();
    ~printOnePageCertificateView() override;

    void viewDidLoad() override;
    // The print operation.
    void printCertificate() { print(); }
    QScrollArea* scrollView() const override;
    const std::shared_ptr<onePageCertificateView>& page() const { return page_; }

  protected:
    void loadView() override;

  private:
    std::unique_ptr<Ui::printOnePageCertificateView> form_;
    std::shared_ptr<onePageCertificateView> page_;
};
