#include "gui/app/ServerList.h"

#include "gui/settings/Captions.h"
#include "gui/skins/Controls.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QListWidget>
#include <QPointer>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

namespace parlomar {

TServerList::TServerList(QWidget* owner) : QFrame(owner, Qt::Popup) {
    setObjectName(QStringLiteral("ServerList"));
    setFrameShape(QFrame::StyledPanel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    ServersList = Named(new QListWidget(this), "ServersList");
    ServersList->setFrameShape(QFrame::NoFrame);
    ServersList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ServersList->installEventFilter(this);
    layout->addWidget(ServersList);
    connect(ServersList, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { ChooseRow(ServersList->row(item)); });
}

QString TServerList::RowText(const SavedServer& server) {
    QString text = Q(server.address);
    text += server.port != 0 ? QStringLiteral(":%1").arg(server.port) : QStringLiteral(" (no valid port)");
    if (!server.userName.empty())
        text += QStringLiteral(" \u2014 ") + Q(server.userName);
    if (server.readOnly)
        text += QStringLiteral("  (read-only)");
    return text;
}

void TServerList::Open(const std::vector<SavedServer>& servers, QWidget* anchor) {
    servers_ = servers;
    anchor_ = anchor;
    Fill();
    if (servers_.empty())
        return;
    ServersList->setCurrentRow(0);
    // As wide as the longest row needs (within the screen), at least as wide as the field.
    int widest = 0;
    for (const SavedServer& server : servers_)
        widest = std::max(widest, fontMetrics().horizontalAdvance(RowText(server)));
    const int rowHeight = ServersList->sizeHintForRow(0);
    const int rows = std::min<int>(static_cast<int>(servers_.size()), 10);
    const int scrollBar =
        static_cast<int>(servers_.size()) > rows ? style()->pixelMetric(QStyle::PM_ScrollBarExtent) : 0;
    int wide = std::max(anchor->width(), widest + 48 + scrollBar + 2 * frameWidth());
    const QScreen* screen = anchor->screen();
    if (screen)
        wide = std::min(wide, screen->availableGeometry().width());
    resize(wide, rows * rowHeight + 2 * frameWidth() + 2);
    QPoint at = anchor->mapToGlobal(QPoint(0, anchor->height()));
    if (screen) {
        const QRect room = screen->availableGeometry();
        if (at.y() + height() > room.bottom())
            at.setY(anchor->mapToGlobal(QPoint(0, 0)).y() - height());
        at.setX(std::clamp(at.x(), room.left(), std::max(room.left(), room.right() - width())));
    }
    move(at);
    show();
    ServersList->setFocus();
}

void TServerList::Fill() {
    ServersList->clear();
    for (const SavedServer& server : servers_) {
        auto* item = new QListWidgetItem(ServersList);
        auto* row = new QWidget(ServersList);
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(6, 1, 2, 1);
        auto* label = new TLabel(RowText(server), row);
        label->setObjectName(QStringLiteral("ServerLabel"));
        SetTag(label, kTagNoCaption);
        label->setTextFormat(Qt::PlainText);
        label->SetElideToFit(true);
        auto* remove = Named(new TToolButton(row), "RemoveButton", kTagNoCaption);
        remove->setText(QStringLiteral("\u00D7"));
        remove->setToolTip(QStringLiteral("Remove from the list (Del)"));
        remove->setAutoRaise(true);
        remove->setFocusPolicy(Qt::NoFocus);
        line->addWidget(label, 1);
        line->addWidget(remove);
        item->setSizeHint(QSize(1, row->sizeHint().height())); // as wide as the list, the button in view
        ServersList->setItemWidget(item, row);
        connect(remove, &QToolButton::clicked, this, [this, item] { RemoveRow(ServersList->row(item)); });
    }
}

void TServerList::ChooseRow(int row) {
    if (row < 0 || row >= static_cast<int>(servers_.size()))
        return;
    const SavedServer server = servers_[static_cast<std::size_t>(row)];
    close();
    if (Chosen)
        Chosen(server);
}

void TServerList::RemoveRow(int row) {
    if (row < 0 || row >= static_cast<int>(servers_.size()))
        return;
    const SavedServer server = servers_[static_cast<std::size_t>(row)];
    servers_.erase(servers_.begin() + row);
    QPointer<TServerList> self(this);
    if (Removed)
        Removed(server);
    if (!self)
        return;
    if (servers_.empty()) {
        close();
        return;
    }
    Fill();
    ServersList->setCurrentRow(std::min(row, static_cast<int>(servers_.size()) - 1));
}

bool TServerList::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ServersList && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            ChooseRow(ServersList->currentRow());
            return true;
        case Qt::Key_Delete:
            RemoveRow(ServersList->currentRow());
            return true;
        case Qt::Key_Escape:
            close();
            if (anchor_)
                anchor_->setFocus();
            return true;
        default:
            break;
        }
    }
    return QFrame::eventFilter(watched, event);
}

} // namespace parlomar
