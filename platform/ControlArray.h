// Control arrays: controls of one kind and role, indexed from 0, whose one handler receives
// the element's 16-bit index. Each element's object name is the array's name and its index.
#pragma once

#include "Windowing.h"

#include <QAbstractButton>
#include <QAction>

#include <cstdint>
#include <functional>
#include <vector>

namespace quorvane::platform {

template <typename Control> class ControlArray {
  public:
    using Handler = std::function<void(std::int16_t)>;

    ControlArray(const char* name, Handler handler) : m_name(name), m_handler(std::move(handler)) {}

    // Adds the next element and connects its click to the handler, through the event dispatch.
    Control* add(Control* control) {
        const auto index = static_cast<std::int16_t>(m_controls.size());
        control->setObjectName(QString::fromLatin1(m_name) + QString::number(index));
        m_controls.push_back(control);
        if constexpr (std::is_base_of_v<QAction, Control>) {
            if (!control->isSeparator())
                QObject::connect(control, &QAction::triggered, [this, index] {
                    dispatchEvent([this, index] { m_handler(index); });
                });
        } else {
            QObject::connect(control, &QAbstractButton::clicked,
                             [this, index] { dispatchEvent([this, index] { m_handler(index); }); });
        }
        return control;
    }

    Control* operator()(std::int16_t index) const {
        return m_controls.at(static_cast<std::size_t>(index));
    }
    std::size_t size() const { return m_controls.size(); }

  private:
    const char* m_name;
    Handler m_handler;
    std::vector<Control*> m_controls;
};

} // namespace quorvane::platform
