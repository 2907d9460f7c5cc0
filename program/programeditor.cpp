#include "program/programeditor.h"

#include "program/programfile.h"

#include <algorithm>

using Kind = ProgramStep::Kind;

namespace {

// The list a place's step is in, inside a copy of the program being edited.
std::vector<ProgramStep> &listAt(Program &program, const ProgramEditor::Place &place)
{
    std::vector<ProgramStep> *list = place.value(0) == 1 ? &program.end : &program.steps;
    for (qsizetype i = 1; i + 1 < place.size(); ++i)
        list = &(*list)[size_t(place[i])].steps;
    return *list;
}

ProgramEditor::Edit refused(const QString &problem)
{
    ProgramEditor::Edit edit;
    edit.outcome = ProgramEditor::Edit::Outcome::Refused;
    edit.problem = problem;
    return edit;
}

} // namespace

const ProgramStep *ProgramEditor::stepAt(const Place &place) const
{
    if (place.size() < 2)
        return nullptr;
    const std::vector<ProgramStep> *list = place[0] == 1 ? &m_program.end : &m_program.steps;
    for (qsizetype i = 1; i < place.size(); ++i) {
        if (place[i] < 0 || size_t(place[i]) >= list->size())
            return nullptr;
        if (i + 1 == place.size())
            return &(*list)[size_t(place[i])];
        list = &(*list)[size_t(place[i])].steps;
    }
    return nullptr;
}

ProgramEditor::Edit ProgramEditor::rename(const QString &name, const Place &chosen)
{
    Program edited = m_program;
    edited.name = name;
    return edited == m_program ? Edit{} : commit(edited, chosen);
}

ProgramEditor::Edit ProgramEditor::setPump(int pump, const Place &chosen)
{
    Program edited = m_program;
    edited.pump = pump;
    return commit(edited, chosen);
}

ProgramEditor::Edit ProgramEditor::setOnLinkLost(Program::OnLinkLost onLinkLost,
                                                 const Place &chosen)
{
    Program edited = m_program;
    edited.onLinkLost = onLinkLost;
    return commit(edited, chosen);
}

ProgramEditor::Edit ProgramEditor::add(const Place &chosen, const ProgramStep &step)
{
    if (step.kind == Kind::Repeat)
        return atChosen(chosen, step, false);
    Program edited = m_program;
    Place place = chosen;
    // Nothing chosen, or only the end block's branch of a program without steps: after the
    // last step.
    if (place.isEmpty() || (place.size() < 2 && edited.steps.empty()))
        place = {0, int(edited.steps.size()) - 1};
    const int at = place.size() < 2 ? 0 : place.last() + 1;
    if (place.size() < 2)
        place.append(0);
    place.last() = at;
    std::vector<ProgramStep> &list = listAt(edited, place);
    list.insert(list.begin() + at, step);
    return commit(edited, place);
}

ProgramEditor::Edit ProgramEditor::change(const Place &chosen, const ProgramStep &step)
{
    return atChosen(chosen, step, true);
}

ProgramEditor::Edit ProgramEditor::atChosen(const Place &chosen, const ProgramStep &step,
                                            bool changing)
{
    if (!stepAt(chosen))
        return refused(QStringLiteral("请先选中一个步骤"));
    Program edited = m_program;
    ProgramStep &there = listAt(edited, chosen)[size_t(chosen.last())];
    if (step.kind != Kind::Repeat)
        there = step;
    else if (changing && there.kind == Kind::Repeat)
        there.times = step.times;
    else {
        ProgramStep wrapped = step;
        wrapped.steps = {there};
        there = std::move(wrapped);
    }
    return commit(edited, chosen);
}

ProgramEditor::Edit ProgramEditor::remove(const Place &chosen)
{
    if (!stepAt(chosen))
        return {};
    Program edited = m_program;
    Place place = chosen;
    std::vector<ProgramStep> &list = listAt(edited, place);
    list.erase(list.begin() + place.last());
    if (list.empty())
        place.removeLast();
    else
        place.last() = std::min(place.last(), int(list.size()) - 1);
    return commit(edited, place);
}

ProgramEditor::Edit ProgramEditor::move(const Place &chosen, int by)
{
    if (!stepAt(chosen))
        return {};
    Program edited = m_program;
    Place place = chosen;
    std::vector<ProgramStep> &list = listAt(edited, place);
    const int to = place.last() + by;
    if (to < 0 || to >= int(list.size()))
        return {};
    std::swap(list[size_t(place.last())], list[size_t(to)]);
    place.last() = to;
    return commit(edited, place);
}

ProgramEditor::Edit ProgramEditor::duplicate(const Place &chosen)
{
    if (!stepAt(chosen))
        return {};
    Program edited = m_program;
    Place place = chosen;
    std::vector<ProgramStep> &list = listAt(edited, place);
    const ProgramStep copy = list[size_t(place.last())];
    list.insert(list.begin() + place.last() + 1, copy);
    place.last() += 1;
    return commit(edited, place);
}

ProgramEditor::Edit ProgramEditor::commit(const Program &edited, const Place &select)
{
    // A program with no steps yet is checked as if it began with one that does nothing, so
    // that its fields and end block can be written before its first step.
    Program checked = edited;
    if (checked.steps.empty())
        checked.steps.push_back(ProgramStep{});
    const ProgramFile::Loaded loaded = ProgramFile::read(ProgramFile::write(checked));
    if (!loaded.program)
        return refused(loaded.problem);
    Edit edit;
    edit.outcome = Edit::Outcome::Made;
    edit.changed = m_program != edited;
    edit.place = select;
    m_program = *loaded.program;
    if (edited.steps.empty())
        m_program.steps.clear();
    return edit;
}

ProgramEditor::Saving ProgramEditor::saving() const
{
    Saving saving{ProgramFile::write(m_program), QString()};
    // What could not be opened again is not saved.
    const ProgramFile::Loaded check = ProgramFile::read(saving.bytes);
    if (!check.program)
        saving = {QByteArray(), check.problem};
    return saving;
}

QString ProgramEditor::suggestedPath(const QString &lastPath) const
{
    if (!lastPath.isEmpty())
        return lastPath;
    QString name = m_program.name.isEmpty() ? QStringLiteral("program") : m_program.name;
    name.replace(u'/', u'_');
    return name + QStringLiteral(".json");
}
