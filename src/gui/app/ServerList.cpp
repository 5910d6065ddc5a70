#include "app/ServerList.h"

#include "settings/Captions.h"
#include "skins/Controls.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QListWidget>
#include <QPointer>
#include <QScreen>
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
    QString text = Q(server.address) + QLatin1Char(':') + QString::number(server.port);
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
    const int rowHeight = ServersList->sizeHintForRow(0);
    const int rows = std::min<int>(static_cast<int>(servers_.size()), 10);
    resize(std::max(anchor->width(), 260), rows * rowHeight + 2 * frameWidth() + 4);
    QPoint at = anchor->mapToGlobal(QPoint(0, anchor->height()));
    if (const QScreen* screen = anchor->screen()) {
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
        item->setSizeHint(row->sizeHint());
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
