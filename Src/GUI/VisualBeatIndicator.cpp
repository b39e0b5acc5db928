#include "GUI/VisualBeatIndicator.h"

#include "Configuration/ConfigurationData.h"
#include "GUI/Circle.h"
#include "GUI/MarkerPalette.h"

#include <QEvent>
#include <QPainter>

#include <algorithm>
#include <cstring>

namespace GUI {

namespace {

constexpr float RingWidth = 2.0f;
constexpr float EdgeWidth = 2.0f;
constexpr int LargestSize = 7;

} // namespace

VisualBeatIndicator::VisualBeatIndicator(QWidget* parent)
    : QWidget(parent)
    , buttonFace_(palette().color(QPalette::Button).rgb())
    , frame_(Width, Height, QImage::Format_RGB32)
    , beats_([this](const HeardTimeline::Entry& beat) { Show(beat.value); }, {}, this)
{
    setProperty("controlId", ControlId);
    // Never larger than asked, smaller (to its least) only for a moment while the window
    // shrinks and its new side is not set yet.
    setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Maximum);
    setAttribute(Qt::WA_OpaquePaintEvent);
    frame_.fill(buttonFace_);
    for (QImage& disc : discs_)
        disc = QImage(Width, Height, QImage::Format_RGB32);
}

VisualBeatIndicator::~VisualBeatIndicator()
{
    drawing_.store(false);
    guiPriority_.Restore();
}

void VisualBeatIndicator::SetSide(int side)
{
    side = std::max(side, static_cast<int>(Width));
    if (side == side_)
        return;
    side_ = side;
    frame_ = QImage(side_, side_, QImage::Format_RGB32);
    frame_.fill(buttonFace_);
    frameFresh_ = false;
    for (QImage& disc : discs_)
        disc = QImage(side_, side_, QImage::Format_RGB32);
    if (drawing_.load(std::memory_order_acquire))
        DrawDiscs();
    updateGeometry();
}

void VisualBeatIndicator::DrawDiscs()
{
    // At 32 pixels size 7 fills the lamp (radius 13) and each step smaller takes 2 pixels off
    // the radius; a larger lamp scales both, and the ring, by its side.
    const float scale = static_cast<float>(side_) / static_cast<float>(Width);
    const float centre = static_cast<float>(side_ / 2);
    Circle circle;
    for (std::size_t voice = 0; voice < MutedPictures; ++voice) {
        QImage& disc = discs_[voice];
        QImage& ring = discs_[MutedPictures + voice];
        disc.fill(buttonFace_);
        const float radius
            = centre - scale * (2.0f * static_cast<float>(LargestSize - markerSizes_[voice]) + 3.0f);
        const QRgb colour = MarkerColour(markerColours_[voice]);
        circle.Draw(disc, colour, buttonFace_, radius, centre, centre, RingWidth * scale, EdgeWidth);
        ring = disc.copy();
        circle.Draw(ring, buttonFace_, colour, radius - 3.0f * scale, centre, centre, RingWidth * scale, EdgeWidth);
    }
    QImage& countIn = discs_[CountInPicture];
    countIn.fill(buttonFace_);
    circle.Draw(countIn, MarkerColour(markerColours_[0]), buttonFace_, centre * 0.45f, centre, centre,
                RingWidth * scale, EdgeWidth);
}

void VisualBeatIndicator::StartDrawing(const Configuration::ConfigurationData& settings)
{
    // A run hands its beats on with the lamp off too (they carry the MIDI clock out): then the
    // lamp, the full-screen view and its flashes show none of them.
    if (settings.VisualIndicator != 1)
        return;
    for (std::size_t voice = 0; voice < markerSizes_.size(); ++voice) {
        markerSizes_[voice] = settings.Size[voice];
        markerColours_[voice] = settings.Colour[voice];
    }
    DrawDiscs();
    beats_.Clear();
    if (follower_)
        follower_->StartDrawing(settings);
    drawing_.store(true, std::memory_order_release);
    // The GUI thread paints each beat's picture: on a busy machine a normal thread waits for
    // a processor for tens of milliseconds, so while the lamp shows beats it runs at the
    // prompt priority (a copy of the lamp's picture per beat), and gets its own scheduling back when the
    // lamp stops.
    guiPriority_.Raise();
}

void VisualBeatIndicator::ShowBeat(std::int32_t voiceIndex, Core::BeatLook look)
{
    if (!drawing_.load(std::memory_order_acquire))
        return;
    if (follower_)
        follower_->ShowBeat(voiceIndex, look);
    if (voiceIndex < 0 || voiceIndex >= static_cast<std::int32_t>(MutedPictures))
        beats_.Post(-1);
    else if (look == Core::BeatLook::CountIn)
        beats_.Post(static_cast<std::int32_t>(CountInPicture));
    else
        beats_.Post(look == Core::BeatLook::Muted ? voiceIndex + static_cast<std::int32_t>(MutedPictures) : voiceIndex);
}

void VisualBeatIndicator::ClearBeat()
{
    if (!drawing_.load(std::memory_order_acquire))
        return;
    if (follower_)
        follower_->ClearBeat();
    beats_.Post(-1);
}

void VisualBeatIndicator::StopDrawing()
{
    drawing_.store(false, std::memory_order_release);
    beats_.Clear();
    if (follower_)
        follower_->StopDrawing();
    frame_.fill(buttonFace_);
    frameFresh_ = true;
    repaint();
    guiPriority_.Restore();
}

void VisualBeatIndicator::Show(std::int32_t voice)
{
    if (!drawing_.load(std::memory_order_acquire))
        return;
    if (voice >= 0 && voice < static_cast<std::int32_t>(discs_.size()))
        std::memcpy(frame_.bits(), discs_[static_cast<std::size_t>(voice)].constBits(),
                    static_cast<std::size_t>(frame_.sizeInBytes()));
    else
        frame_.fill(buttonFace_);
    frameFresh_ = true;
    // Painted now rather than on a later update request: one trip through the event loop
    // less between the beat being heard and the lamp showing it.
    repaint();
}

void VisualBeatIndicator::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    // Only a beat's own repaint shows its disc; any other repaint shows the empty lamp.
    if (!frameFresh_)
        frame_.fill(buttonFace_);
    frameFresh_ = false;
    painter.drawImage(0, 0, frame_);
}

void PaintWithoutWaitingForTheDisplayServer()
{
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM"))
        qputenv("QT_XCB_NO_MITSHM", "1");
}

void VisualBeatIndicator::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange)
        buttonFace_ = palette().color(QPalette::Button).rgb();
    QWidget::changeEvent(event);
}

} // namespace GUI
