// The whole simulation state: the flock, the landscape under it, the camera, the key
// table the input callbacks fill, and the goal point the flock drifts toward.
//
// There is one World, made with new after the angle tables are filled. Every 33 ms the
// timer calls World::step: steer every bird, let the arrow keys fly bird 0 in Bird
// Control mode, move every bird, place the camera. Random numbers come from rand(), in
// an order that makes the same seed give the same landscape and flock.
#ifndef AVIFOLD_SIM_WORLD_H
#define AVIFOLD_SIM_WORLD_H

#include "sim/bird.h"
#include "sim/flock.h"
#include "terrain/terrain.h"

const int kKeySlots = 200;  // slots of the key table, indexed by key code

// Key-table slots of the arrow keys: GLUT's special-key codes, which the window layer
// stores as they come. The core does not include GLUT; the app checks the values.
const int kKeyLeft = 100;
const int kKeyUp = 101;
const int kKeyRight = 102;
const int kKeyDown = 103;

// Where the camera is placed on every tick; chosen from the View menu.
struct CameraMode {
  enum {
    BirdControl = 2,  // just behind bird 0, which the arrow keys fly
    SmartFollow = 3,  // behind the flock's mean position, along its mean heading
  };
};

class World {
 public:
  Bird* birds;          // the flock, kFlockSize birds in one array; owned
  Terrain* terrain;     // the landscape under the flock; owned
  float cameraX;        // camera position x, world units; written by updateCamera()
  float cameraY;        // camera height, world units; written by updateCamera()
  float cameraZ;        // camera position z, world units; written by updateCamera()
  int cameraPitch;      // camera tilt in degrees; 0 in both modes
  int cameraYaw;        // camera turn about +y in degrees, 0..359
  int cameraMode;       // a CameraMode value; written by the menu only
  int keys[kKeySlots];  // 1 while the key with that code is down; written by the input callbacks
  int goalX;            // x of the goal point on the ground, whole units
  int goalZ;            // z of the goal point on the ground, whole units

  World();
  ~World();

  // One simulation tick.
  void step();
  // Sets bird index's turn and climb impulses from the flocking (by the flock's means
  // before this tick's moves), goal, altitude and ground rules; may re-pick its cruise
  // altitude.
  void steerBird(int index, const FlockMean& mean);
  // In Bird Control mode the arrow keys override bird 0's impulses.
  void applyUserControl();
  // Places the camera for the current mode from the birds' new positions.
  void updateCamera();

  World(const World&) = delete;  // one World for the whole run, never copied
  World& operator=(const World&) = delete;
};

#endif
