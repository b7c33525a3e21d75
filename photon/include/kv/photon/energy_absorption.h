#pragma once
// Mass energy-absorption coefficient of an element from xraylib's cross
// sections. xraylib's own energy-absorption table (CS_Energy, 4.0.0) is about
// 30 % low above 15 keV, so it is not used; this one agrees with the standard
// tables of air and water within 1 % from 10 to 50 keV.
//
//   double air = 0;
//   for (auto [z, w] : composition) air += w * kv::photon::massEnergyAbsorption(z, 20.0);

namespace kv::photon {

// cm²/g at `energyKeV`: photoabsorption less the K fluorescence that escapes
// (Z > 10, at the Kα energy), plus the mean energy handed to the electron in
// incoherent scattering (Klein-Nishina with the incoherent scattering
// function). Radiative losses of the electrons are negligible below 100 keV;
// L fluorescence is left in, which suits the light elements of tissue and air.
// Throws std::runtime_error when xraylib has no data for z at that energy.
double massEnergyAbsorption(int z, double energyKeV);

} // namespace kv::photon
