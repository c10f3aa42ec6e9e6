#include "design/UndoHistory.h"

#include <utility>

namespace {

const std::string kNothing;

}  // namespace

bool UndoHistory::wouldMerge(const std::string& name) const
{
    return m_mergeOpen && !m_undo.empty() && m_undo.back().mergeable && m_undo.back().name == name;
}

void UndoHistory::record(std::string name, const std::function<DesignSnapshot()>& before,
                         bool mergeable)
{
    if (!(mergeable && wouldMerge(name))) {  // else the gesture's first step holds the state
        m_redo.clear();
        m_undo.push_back(Step{std::move(name), before(), mergeable, false, m_position});
        dropOldest();
        m_mergeOpen = mergeable;
    }
    m_position.state = ++m_lastState;
}

void UndoHistory::dropOldest()
{
    std::size_t entries = 0;
    for (const Step& step : m_undo) {
        entries += step.state.entries.size();
    }
    while (m_undo.size() > kDepth || (m_undo.size() > 1 && entries > m_entryBudget)) {
        entries -= m_undo.front().state.entries.size();
        m_undo.pop_front();
    }
}

void UndoHistory::clear()
{
    m_undo.clear();
    m_redo.clear();
    m_mergeOpen = false;
    m_position.state = ++m_lastState;
    beginDocument({});
}

void UndoHistory::beginDocument(std::string fileName, bool saved)
{
    constexpr std::uint64_t kNoState = ~std::uint64_t{0};  // no state of the design is saved
    m_position.document = std::make_shared<DesignDocument>(
        DesignDocument{std::move(fileName), saved ? m_position.state : kNoState});
}

void UndoHistory::markSaved(std::string fileName)
{
    // Every state of the document takes the name: undoing past the save stays in this file.
    m_position.document->fileName = std::move(fileName);
    m_position.document->cleanState = m_position.state;
}

const std::string& UndoHistory::undoName() const
{
    return m_undo.empty() ? kNothing : m_undo.back().name;
}

const std::string& UndoHistory::redoName() const
{
    return m_redo.empty() ? kNothing : m_redo.back().name;
}

void UndoHistory::markSettingsChanged()
{
    if (!m_undo.empty()) {
        m_undo.back().settings = true;
    }
}

Restoration UndoHistory::transfer(std::deque<Step>& from, std::deque<Step>& to,
                                  DesignSnapshot current)
{
    Step step = std::move(from.back());
    from.pop_back();
    Restoration restoration{std::exchange(step.state, std::move(current)), step.settings};
    std::swap(step.position, m_position);
    to.push_back(std::move(step));
    m_mergeOpen = false;
    return restoration;
}

Restoration UndoHistory::undo(DesignSnapshot current)
{
    return transfer(m_undo, m_redo, std::move(current));
}

Restoration UndoHistory::redo(DesignSnapshot current)
{
    return transfer(m_redo, m_undo, std::move(current));
}

Restoration UndoHistory::withdraw()
{
    // The step goes as if it had never been taken: its state, its document and its name.
    Restoration restoration{std::move(m_undo.back().state), true};
    m_position = std::move(m_undo.back().position);
    m_undo.pop_back();
    m_mergeOpen = false;
    return restoration;
}
