// The simulated GPIO ports A..D as a test or front end sees them.
#ifndef VMOD_SIM_GPIO_H
#define VMOD_SIM_GPIO_H

namespace sim::gpio {

enum Port { A = 0, B = 1, C = 2, D = 3 };
enum class Mode { Input, Output, Peripheral };

int level(int port, int pin);  // the level the pin drives (outputs) or reads (inputs)
Mode mode(int port, int pin);
void setInput(int port, int pin, int level);  // what the outside world drives on an input

}  // namespace sim::gpio

#endif
