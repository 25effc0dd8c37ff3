// One member of the flock.
//
// Steering code never moves a bird directly: it only adds small turn and climb
// impulses. Once per tick Bird::advance folds them into a clamped turn rate and climb
// angle, derives the whole-degree heading and pitch, and moves the bird one step.
#ifndef AVIFOLD_SIM_BIRD_H
#define AVIFOLD_SIM_BIRD_H

const float kMaxTurnRate = 3.0f;     // degrees per tick a bird can turn at most
const float kMaxClimbAngle = 30.0f;  // steepest climb or dive, in degrees

class Bird {
 public:
  float x;             // position along x, world units; written by advance()
  float y;             // altitude, world units; written by advance()
  float z;             // position along z, world units; written by advance()
  float speed;         // distance flown per tick; 1.0, set by the World
  int heading;         // degrees 0..359, 0 = +z, 90 = +x; derived by advance()
  int pitch;           // degrees 0..30 climbing or 330..359 diving; derived by advance()
  float turnImpulse;   // turn-rate change asked for this tick; steering writes, advance() zeroes
  float turnRate;      // degrees per tick, -3..3, positive toward larger headings
  float climbAngle;    // degrees, -30..30, positive climbs
  float climbImpulse;  // climb-angle change asked for this tick; steering writes, advance() zeroes
  float cruiseAltitude;  // altitude the bird tries to hold; set and re-picked by the World

  Bird();

  // One tick of motion: fold the impulses in, clamp, derive heading and pitch, step.
  void advance();

  // Nudges the turn impulse by amount so that the bird turns the short way toward the
  // heading target (0..360; 360 is compared as the number 360).
  void turnToward(int target, float amount);
};

#endif
