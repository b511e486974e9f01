#pragma once
// The three-page certificate's print preview: its pages read-only, one 1024-point band each.
#include <memory>

#include "app/documents/pages/PrintPreview.h"

namespace Ui {
class printCertificateView;
}

class printCertificateView : public PrintPreview {
    Q_OBJECT
  public:
    static constexpr const char* kSceneIdentifier = "printCertificateView";

    printCertificateView();
    ~printCertificateView() override;

    void viewDidLoad() override;
    // The print operation.
    void printCertificate() { print(); }
    QScrollArea* scrollView() const override;

  protected:
    void loadView() override;

  private:
    std::unique_ptr<Ui::printCertificateView> form_;
};
