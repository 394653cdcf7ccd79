#include "Operator.h"

#include <thread>

namespace e2e {

namespace {

// "name=value" fields as the driver reports states.
std::string Value(const std::vector<std::string>& fields, const std::string& name)
{
    for (const std::string& field : fields) {
        if (field.compare(0, name.size() + 1, name + "=") == 0)
            return field.substr(name.size() + 1);
    }
    throw std::runtime_error("the driver reported no " + name);
}

int IntOrNone(const std::string& text, int none)
{
    return text == "-" ? none : std::stoi(text);
}

} // namespace

std::string COperator::WaitForWindow(milliseconds ceiling)
{
    const auto deadline = std::chrono::steady_clock::now() + ceiling;
    for (;;) {
        try {
            return m_link.Call("window").at(0);
        } catch (const DriverRefusal&) {
            if (std::chrono::steady_clock::now() >= deadline)
                throw;
            std::this_thread::sleep_for(milliseconds(50));
        }
    }
}

void COperator::Click(int id)
{
    m_link.Call("click", {std::to_string(id)});
}

int COperator::StartClick(int id)
{
    return m_link.Send("click", {std::to_string(id)});
}

void COperator::Finish(int request)
{
    m_link.Await(request, milliseconds(60000));
}

void COperator::Key(int id, const std::string& key)
{
    m_link.Call("key", {std::to_string(id), key});
}

void COperator::KeyOnWindow(const std::string& key)
{
    m_link.Call("key", {"window", key});
}

void COperator::Type(int id, const std::string& text)
{
    m_link.Call("type", {std::to_string(id), text});
}

void COperator::Pick(int id, const std::string& text)
{
    m_link.Call("pick", {std::to_string(id), text});
}

void COperator::AnswerFileDialog(const std::string& path, milliseconds ceiling)
{
    const auto deadline = std::chrono::steady_clock::now() + ceiling;
    for (;;) {
        try {
            m_link.Call("filedialog", {path});
            return;
        } catch (const DriverRefusal&) {
            if (std::chrono::steady_clock::now() >= deadline)
                throw;
            std::this_thread::sleep_for(milliseconds(50));
        }
    }
}

void COperator::CloseBox()
{
    m_link.Call("closebox");
}

std::string COperator::Text(int id)
{
    return m_link.Call("text", {std::to_string(id)}).at(0);
}

std::size_t COperator::TextLength(int id)
{
    return std::stoul(m_link.Call("length", {std::to_string(id)}).at(0));
}

std::vector<std::string> COperator::Items(int id)
{
    return m_link.Call("items", {std::to_string(id)});
}

ControlState COperator::State(int id)
{
    const std::vector<std::string> fields = m_link.Call("state", {std::to_string(id)});
    ControlState state;
    state.enabled = Value(fields, "enabled") == "1";
    state.checked = IntOrNone(Value(fields, "checked"), -1);
    state.index = IntOrNone(Value(fields, "index"), -2);
    return state;
}

LampState COperator::Lamp(int id)
{
    const std::vector<std::string> fields = m_link.Call("lamp", {std::to_string(id)});
    LampState lamp;
    lamp.lit = Value(fields, "lit") == "1";
    lamp.colour = static_cast<std::uint32_t>(std::stoul(Value(fields, "colour"), nullptr, 16));
    lamp.litColour = static_cast<std::uint32_t>(std::stoul(Value(fields, "lit-colour"), nullptr, 16));
    lamp.pulses = std::stoul(Value(fields, "pulses"));
    return lamp;
}

} // namespace e2e
