#pragma once

#include "characters/CharacterKind.h"
#include "characters/CharacterReaction.h"

#include <QObject>
#include <QPointF>
#include <QtQml/qqmlregistration.h>

namespace notchora {

class CharacterMoodCenter;

// Moves the collapsed character: each frame it samples the pacing, compares the character
// with the pointer and builds the reaction the drawing shows. Advanced by the canvas's own
// frame timer, so it costs nothing while the character is not drawn.
class CharacterPacer : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(
        notchora::characterkind::Kind kind READ kind WRITE setKind NOTIFY layoutChanged FINAL)
    Q_PROPERTY(double notchWidth READ notchWidth WRITE setNotchWidth NOTIFY layoutChanged FINAL)
    Q_PROPERTY(double notchHeight READ notchHeight WRITE setNotchHeight NOTIFY layoutChanged FINAL)
    Q_PROPERTY(double slotToNotchEdge READ slotToNotchEdge WRITE setSlotToNotchEdge NOTIFY
                   layoutChanged FINAL)
    Q_PROPERTY(double speed READ speed WRITE setSpeed NOTIFY speedChanged FINAL)
    Q_PROPERTY(double drawingScale READ drawingScale NOTIFY layoutChanged FINAL)
    Q_PROPERTY(QPointF placement READ placement NOTIFY layoutChanged FINAL)
    Q_PROPERTY(QPointF offset READ offset NOTIFY frameChanged FINAL)
    Q_PROPERTY(int facing READ facing NOTIFY facingChanged FINAL)
public:
    explicit CharacterPacer(QObject* parent = nullptr);
    // For tests: another mood centre than the shared one.
    CharacterPacer(CharacterMoodCenter& moods, QObject* parent = nullptr);

    CharacterKind kind() const { return m_kind; }
    void setKind(CharacterKind kind);
    double notchWidth() const { return m_notchWidth; }
    void setNotchWidth(double width);
    double notchHeight() const { return m_notchHeight; }
    void setNotchHeight(double height);
    double slotToNotchEdge() const { return m_slotToNotchEdge; }
    void setSlotToNotchEdge(double distance);
    double speed() const { return m_speed; }
    void setSpeed(double speed);

    double drawingScale() const;
    QPointF placement() const;
    QPointF offset() const { return m_offset; }
    int facing() const { return m_facing; }
    CharacterReaction reaction() const { return m_reaction; }

    // One frame at wall time `now`, reading the pointer and the mood.
    void advance(const QDateTime& now);

signals:
    void layoutChanged();
    void speedChanged();
    void frameChanged();
    void facingChanged();

private:
    template <typename T> void change(T& field, T value) {
        if (field == value)
            return;
        field = value;
        emit layoutChanged();
    }

    CharacterMoodCenter& m_moods;
    CharacterKind m_kind = CharacterKind::Monkey;
    double m_notchWidth = 190;
    double m_notchHeight = 32;
    double m_slotToNotchEdge = 40;
    double m_speed = 1;
    QPointF m_offset;
    int m_facing = 1;
    CharacterReaction m_reaction;
};

} // namespace notchora
