#pragma once

namespace layouts {
struct MainControls;
}

namespace convert {

void set_bit_rate(const layouts::MainControls& controls, int index);
void record_bit_rate(const layouts::MainControls& controls);
void set_channel(const layouts::MainControls& controls, int index);
void record_channel(const layouts::MainControls& controls);
void choose_output_folder(const layouts::MainControls& controls);

} // namespace convert
