#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QRect>
#include <QString>
#include <catch2/catch.hpp>
#include <memory>
#include <vector>

#include "app/documents/artwork/InquiryDefinition.h"
#include "app/documents/questionnaire/inquiryPageView.h"
#include "app/documents/questionnaire/inquiryView1.h"
#include "app/documents/questionnaire/inquiryView2.h"
#include "app/documents/questionnaire/inquiryView3.h"
#include "platform/ui/Tag.h"
#include "platform/ui/TextView.h"
#include "tools/questionnaire/InquiryForms.h"

using namespace questionnaire;

namespace {

const InquiryDefinition& def() {
    return inquiryDefinition();
}

} // namespace

TEST_CASE("questionnaire page forms", "[InquiryForms]") {
    SECTION("the committed forms are what the definition lays out") {
        for (int page = 1; page <= 3; ++page) {
            INFO(pageFormName(page));
            QFile file(QDir(QStringLiteral(ZARUVEDEZ_SOURCE_UI))
                           .filePath(QString::fromStdString(pageFormName(page))));
            REQUIRE(file.open(QIODevice::ReadOnly));
            CHECK(file.readAll().toStdString() == pageForm(def(), page));
        }
        QFile preview(
            QDir(QStringLiteral(ZARUVEDEZ_SOURCE_UI)).filePath(QString::fromStdString(previewFormName())));
        REQUIRE(preview.open(QIODevice::ReadOnly));
        CHECK(preview.readAll().toStdString() == previewForm(def()));
    }

    SECTION("the preview's bands hold whole pages") {
        for (int page = 1; page <= 3; ++page)
            CHECK(def().pageHeights[size_t(page - 1)] <= kPreviewBand);
        CHECK(2 * kPreviewBand + def().pageHeights[2] <= kPreviewContentHeight);
    }

    SECTION("every item's view sits on its printed place, with the role its tag gives") {
        std::vector<std::shared_ptr<inquiryPageView>> pages = {std::make_shared<inquiryView1>(),
                                                               std::make_shared<inquiryView2>(),
                                                               std::make_shared<inquiryView3>()};
        for (const InquiryItem& item : def().items) {
            INFO("tag " << item.tag << " on page " << item.page);
            QWidget* form =
                pages[size_t(item.page - 1)]->view() ? pages[size_t(item.page - 1)]->formView() : nullptr;
            REQUIRE(form);
            QWidget* view = ui::viewWithTag(form, item.tag);
            REQUIRE(view);
            CHECK(view->geometry() == QRect(item.frame.x, item.frame.y, item.frame.width, item.frame.height));
            switch (item.kind) {
            case ItemKind::SingleCircle:
            case ItemKind::MultiCircle:
                CHECK(qobject_cast<QAbstractButton*>(view));
                break;
            case ItemKind::TextField:
                CHECK(qobject_cast<ui::TextField*>(view));
                break;
            case ItemKind::TextView:
                CHECK(qobject_cast<ui::TextView*>(view));
                break;
            case ItemKind::DateLabel:
                CHECK(view->objectName() == "inputDateLabel");
                break;
            }
        }
        for (int page = 1; page <= 3; ++page)
            CHECK(pages[size_t(page - 1)]->formView()->size() ==
                  QSize(768, def().pageHeights[size_t(page - 1)]));
    }
}
