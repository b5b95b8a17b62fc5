#include "catalogue/forms/frmFind.h"

#include "catalogue/UnitRecord.h"
#include "forms/FormLook.h"

#include <QAbstractListModel>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>

using namespace Qt::Literals::StringLiterals;

namespace {

// The window as designed, in twips.
constexpr int kClientWidth = 5025;
constexpr int kClientHeight = 4200;
constexpr TwipsBox kLblFind{120, 150, 1035, 195};
constexpr TwipsBox kTxtFind{1200, 90, 3705, 300};
constexpr TwipsBox kLstFound{120, 480, 4785, 3300};
constexpr TwipsBox kLblKeys{120, 3840, 4785, 300};

}  // namespace

// The matches of the text typed, best first, as "坪 — 面積", or with the other
// name that matched as "キロメートル — 長さ (km)".
class FoundUnitsModel : public QAbstractListModel {
public:
    explicit FoundUnitsModel(const NameIndex &finder, QObject *parent) : QAbstractListModel(parent), m_finder(finder) {}

    void show(std::vector<NameMatch> found)
    {
        beginResetModel();
        m_found = std::move(found);
        endResetModel();
    }

    int unitAt(int row) const { return m_found[size_t(row)].unit; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : int(m_found.size());
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount())
            return QVariant();
        const NameMatch &match = m_found[size_t(index.row())];
        QString text = ShownName(m_finder.name(match.unit).toString()) + u" — "_s
            + ShownName(m_finder.series(m_finder.unit(match.unit).series).name);
        if (match.name > 0)
            text += u" ("_s + ShownName(m_finder.name(match.unit, match.name).toString()) + u')';
        return QVariant(text);
    }

private:
    const NameIndex &m_finder;
    std::vector<NameMatch> m_found;
};

frmFind::frmFind(const NameIndex &finder, QWidget *owner)
    : SecondaryWindow(owner, CloseCommand::Enabled), m_finder(finder)
{
    setObjectName(u"frmFind"_s);
    setWindowTitle(u"単位を探す"_s);
    const TwipsLayout layout(this);

    auto *label = new QLabel(u"単位名(&N)"_s, this);
    label->setObjectName(u"lblFind"_s);
    layout.place(label, kLblFind);
    txtFind = new QLineEdit(this);
    txtFind->setObjectName(u"txtFind"_s);
    txtFind->setAccessibleName(u"単位名"_s);
    layout.place(txtFind, kTxtFind);
    label->setBuddy(txtFind);
    GrowToFitCaption(label, label->text(), Grow::AboutTheMiddle, txtFind->x());

    m_model = new FoundUnitsModel(m_finder, this);
    lstFound = new QListView(this);
    lstFound->setObjectName(u"lstFound"_s);
    lstFound->setAccessibleName(u"見つかった単位"_s);
    lstFound->setModel(m_model);
    lstFound->setUniformItemSizes(true);  // a long list is not measured row by row
    lstFound->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstFound->setSelectionMode(QAbstractItemView::SingleSelection);
    layout.place(lstFound, kLstFound);
    auto *keys = new QLabel(u"Enter: 変換元へ　Shift+Enter: 変換先へ　Esc: 閉じる"_s, this);
    keys->setObjectName(u"lblKeys"_s);
    layout.place(keys, kLblKeys);
    setFixedSize(layout.size(kClientWidth, kClientHeight));

    txtFind->installEventFilter(this);
    lstFound->installEventFilter(this);
    connect(txtFind, &QLineEdit::textChanged, this, &frmFind::txtFind_Change);
    connect(lstFound, &QListView::doubleClicked, this, [this] { choose(false); });
    txtFind->setFocus();
}

void frmFind::setTyped(const QString &text)
{
    txtFind->setText(text);
}

void frmFind::txtFind_Change()
{
    m_model->show(m_finder.find(txtFind->text()));
    if (m_model->rowCount() > 0)
        lstFound->setCurrentIndex(m_model->index(0));
}

void frmFind::choose(bool toTarget)
{
    const QModelIndex current = lstFound->currentIndex();
    if (!current.isValid())
        return;
    m_choice = Choice{m_model->unitAt(current.row()), toTarget};
    unload(QDialog::Accepted);
}

void frmFind::escapePressed()
{
    unload(QDialog::Rejected);
}

bool frmFind::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress || (watched != txtFind && watched != lstFound))
        return SecondaryWindow::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: choose(key->modifiers() & Qt::ShiftModifier); return true;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        if (watched == txtFind) {
            // The list moves while the typing stays in the search box.
            QKeyEvent copy(key->type(), key->key(), key->modifiers());
            QCoreApplication::sendEvent(lstFound, &copy);
            return true;
        }
        break;
    default: break;
    }
    return SecondaryWindow::eventFilter(watched, event);
}
