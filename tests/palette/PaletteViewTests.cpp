#include "palette/PaletteView.h"
#include "preview/FilePreview.h"
#include "support/ModelFixture.h"
#include "support/TestImages.h"

#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QTest>
#include <QToolButton>

using namespace orv;

namespace {

// Calls `painted` at each paint of `widget`.
class PaintRecorder : public QObject {
public:
    PaintRecorder(QWidget* widget, std::function<void()> painted) : m_painted(std::move(painted)) {
        widget->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            m_painted();
        }
        return false;
    }

private:
    std::function<void()> m_painted;
};

class PaletteViewTest : public ModelTest {
protected:
    void SetUp() override {
        QObject::connect(&view, &PaletteView::clearRequested, [this] { ++clears; });
        QObject::connect(&view, &PaletteView::settingsRequested, [this] { ++settings; });
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    }
    QStringList chipTitles() const {
        QStringList titles;
        for (QPushButton* chip : view.chips()) {
            titles.append(chip->text());
        }
        return titles;
    }
    int headerBottom() const { return view.header()->layout()->contentsMargins().bottom(); }
    ClipRowView::Row row(int index) const { return view.rows()->row(index); }

    PaletteView view{model};
    int clears = 0;
    int settings = 0;
};

}  // namespace

TEST_F(PaletteViewTest, ChipsAppearOnlyWhenTheyNarrowTheList) {
    open({"uno", "dos"});
    EXPECT_TRUE(view.chips().isEmpty());
    EXPECT_TRUE(view.filterBar()->isHidden());
    EXPECT_EQ(headerBottom(), 10);

    await(recorder.record({CapturedClip::Image{TestImages::png(4, 4)}, std::nullopt}));
    copyText("#336699");
    await(model.togglePin(visibleAt(2)));
    EXPECT_EQ(chipTitles(), (QStringList{"Todo", "Texto", "Imagen", "Color", "Fijados"}));
    EXPECT_FALSE(view.filterBar()->isHidden());
    EXPECT_EQ(headerBottom(), 8);
    EXPECT_EQ(view.filterBar()->accessibleName(), "Filtro de tipo");

    view.chips()[3]->click();
    EXPECT_EQ(model.filter(), ClipListFilter::ofKind(ClipKind::color));
    EXPECT_TRUE(view.chips()[3]->property("active").toBool());
    EXPECT_FALSE(view.chips()[0]->property("active").toBool());
    EXPECT_EQ(view.chips()[3]->toolTip(), "Color");
}

TEST_F(PaletteViewTest, EmptyStatesSayWhetherNothingWasCopiedOrNothingMatches) {
    open({});
    EXPECT_TRUE(view.emptyState()->isVisible());
    EXPECT_EQ(view.emptyText()->text(), "Copia algo para verlo aquí");
    EXPECT_EQ(view.emptySymbol(), "doc.on.clipboard");
    view.searchField()->setFocus();
    QTest::keyClicks(view.searchField(), "z");
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.listedQuery() == "z"; }, 5000));
    EXPECT_EQ(view.emptyText()->text(), "Ningún clip coincide") << "an empty history searched";
    view.clearSearch();
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.listedQuery() == ""; }, 5000));
    EXPECT_EQ(view.emptyText()->text(), "Copia algo para verlo aquí");

    copyText("algo");
    view.searchField()->setFocus();
    QTest::keyClicks(view.searchField(), "zz");
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.listedQuery() == "zz"; }, 5000));
    EXPECT_EQ(model.query(), "zz");
    EXPECT_EQ(view.emptyText()->text(), "Ningún clip coincide");
    EXPECT_EQ(view.emptySymbol(), "magnifyingglass");

    // Clips that the filter hides leave an empty list, not the empty state.
    view.clearSearch();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !model.clips().isEmpty(); }, 2000));
    model.setFilter(ClipListFilter::ofKind(ClipKind::image));
    EXPECT_TRUE(view.list()->isVisible());
    EXPECT_EQ(view.rows()->rowCount(), 0);
}

TEST_F(PaletteViewTest, WhileTheFirstListLoadsNothingIsSaidEmpty) {
    copyText("algo");
    history.holdLists = true;
    model.setPaletteWindow(&window);
    auto opening = model.prepareForDisplay();
    ASSERT_EQ(history.heldCount(), 1);
    EXPECT_TRUE(view.emptyText()->text().isEmpty());
    EXPECT_TRUE(view.emptySymbol().isEmpty());
    history.holdLists = false;
    history.release(0);
    await(std::move(opening));
    EXPECT_TRUE(view.list()->isVisible());
    EXPECT_EQ(view.rows()->rowCount(), 1);
}

TEST_F(PaletteViewTest, RowsGetTheirShortcutsPinBarsAndColourProminence) {
    open({"g", "f", "e", "#AA0000", "c", "b", "a"});
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(row(i).shortcut, QStringLiteral("Ctrl+%1").arg(i + 1));
    }
    EXPECT_EQ(row(5).shortcut, std::nullopt);
    EXPECT_EQ(row(6).shortcut, std::nullopt);
    EXPECT_TRUE(row(0).isSelected);
    EXPECT_FALSE(row(1).isSelected);
    EXPECT_TRUE(row(0).showsPinMark);
    EXPECT_FALSE(row(0).prominentColor);

    model.setFilter(ClipListFilter::ofKind(ClipKind::color));
    EXPECT_TRUE(row(0).prominentColor);
    EXPECT_EQ(row(0).shortcut, QStringLiteral("Ctrl+1")) << "labels follow the visible list";

    await(model.togglePin(model.clips().last()));
    model.setFilter(ClipListFilter::pinned());
    EXPECT_FALSE(row(0).showsPinMark);
}

TEST_F(PaletteViewTest, PauseAndErrorsShowInTheirPlaces) {
    open({"a"});
    EXPECT_TRUE(view.pausedNotice()->isHidden());
    preferences.setPaused(true);
    EXPECT_FALSE(view.pausedNotice()->isHidden());
    EXPECT_EQ(view.pausedNotice()->text(), "Captura en pausa");

    EXPECT_TRUE(view.errorLabel()->isHidden());
    const QString missing = "La imagen original ya no está disponible.";
    model.report(missing);
    QTest::qWait(50);
    const auto* error = view.errorLabel();
    EXPECT_FALSE(error->isHidden());
    EXPECT_EQ(error->lines(error->width()).join(u' '), missing) << "read whole";
    EXPECT_GE(error->height(), error->heightForWidth(error->width()));
    const QString message = QString("No se pudo guardar la imagen: ").repeated(10);
    model.report(message);
    EXPECT_EQ(error->toolTip(), message);
    EXPECT_EQ(error->lines(error->width()).size(), 2);
    EXPECT_TRUE(error->lines(error->width()).last().endsWith(u'…'));
    scheduler.advance(AppModel::errorDuration);
    EXPECT_TRUE(view.errorLabel()->isHidden());

    view.trashButton()->click();
    view.settingsButton()->click();
    EXPECT_EQ(clears, 1);
    EXPECT_EQ(settings, 1);
    EXPECT_EQ(view.trashButton()->toolTip(), "Limpiar historial no fijado");
    EXPECT_EQ(view.settingsButton()->toolTip(), "Preferencias");
}

TEST_F(PaletteViewTest, TheKeyboardStaysWhereTheModelPutsIt) {
    open({"hola"});
    EXPECT_EQ(view.focus(), SearchFocus::field);
    EXPECT_TRUE(view.clearButton()->isHidden());

    QTest::keyClicks(view.searchField(), "ho");
    EXPECT_EQ(model.query(), "ho");
    EXPECT_FALSE(view.clearButton()->isHidden());

    // The clear button takes the keyboard only when the model says so.
    view.clearButton()->setFocus();
    EXPECT_EQ(view.focus(), SearchFocus::field);
    model.setSearchFocus(SearchFocus::clear);
    EXPECT_EQ(view.focus(), SearchFocus::clear);

    // Clearing the query while the button has the keyboard gives it back to the field.
    model.setQuery(QString());
    EXPECT_EQ(model.searchFocus(), SearchFocus::field);
    EXPECT_EQ(view.focus(), SearchFocus::field);
    EXPECT_TRUE(view.clearButton()->isHidden());
    EXPECT_EQ(view.searchField()->text(), "");

    // Each opening puts the keyboard in the field.
    model.setQuery("h");
    model.setSearchFocus(SearchFocus::clear);
    model.increaseFocusToken();
    EXPECT_EQ(model.searchFocus(), SearchFocus::field);
    EXPECT_EQ(view.focus(), SearchFocus::field);
}

TEST_F(PaletteViewTest, TheRowMenuDrawsDeletingInRed) {
    open({"a"});
    QMenu menu;
    view.list()->fillContextMenu(menu, model.clips().first());
    menu.adjustSize();
    const QImage image = menu.grab().toImage();
    const auto reddish = [&](QAction* action) {
        int count = 0;
        const QRect area = menu.actionGeometry(action);
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                const QColor pixel = image.pixelColor(x, y);
                count += pixel.red() > 180 && pixel.green() < 110 && pixel.blue() < 110;
            }
        }
        return count;
    };
    EXPECT_EQ(menu.actions().constLast()->text(), "Eliminar");
    EXPECT_GT(reddish(menu.actions().constLast()), 20);
    EXPECT_EQ(reddish(menu.actions().constFirst()), 0);
}

// The list for a letter may land before the field's next paint; the letter must not wait for it.
TEST_F(PaletteViewTest, TheTypedLetterIsPaintedBeforeTheListForIt) {
    open({"agua", "aguja"});
    QStringList order;
    QLineEdit* field = view.searchField();
    PaintRecorder paints(field, [&] { order.append(QStringLiteral("paint:") + field->text()); });
    QObject::connect(&model, &AppModel::clipsChanged, &paints, [&] {
        order.append(QStringLiteral("list:") + model.listedQuery().value_or(QString()));
    });
    field->setFocus();
    history.holdLists = true;
    QTest::keyClick(field, Qt::Key_J);
    history.holdLists = false;
    ASSERT_EQ(history.heldCount(), 1);
    history.release(0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return order.contains(QStringLiteral("list:j")); }, 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return order.contains(QStringLiteral("paint:j")); }, 5000));
    EXPECT_LT(order.indexOf(QStringLiteral("paint:j")), order.indexOf(QStringLiteral("list:j")))
        << order.join(u' ').toStdString();
}
