#pragma once
// The referral letter's print preview: its two pages read-only, one 1024-point band each, on pages
// without a margin.
#include <memory>

#include "app/documents/pages/PrintPreview.h"

class LetterView1;
class LetterView2;
namespace Ui {
class printLetterView;
}

class printLetterView : public PrintPreview {
    Q_OBJECT
  public:
    static constexpr const char* kSceneIdentifier = "printLetterView";

    printLetterView();
    ~printLetterView() override;

    void viewDidLoad() override;
    // The print operation.
    void printLetter() { print(); }
    QScrollArea* scrollView() const override;
    std::shared_ptr<LetterView1> page1() const;
    std::shared_ptr<LetterView2> page2() const;

  protected:
    void loadView() override;

  private:
    std::unique_ptr<Ui::printLetterView> form_;
    std::shared_ptr<LetterView1> page1_;
    std::shared_ptr<LetterView2> page2_;
};
