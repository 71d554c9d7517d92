// Plays a morph .glb as a three.js page would, and reports what it shows.
// play_morph.cjs drives it through window.vorlane.
import * as THREE from 'three';
import { GLTFLoader } from 'three/addons/loaders/GLTFLoader.js';
import { MeshoptDecoder } from 'three/addons/libs/meshopt_decoder.module.js';

const size = Number(new URLSearchParams(location.search).get('size') || 512);
const backgroundByte = 0xe8;  // sRGB, as the frame is written
const background = new THREE.Color(0xe8e8e8);
const renderer = new THREE.WebGLRenderer({ antialias: true, preserveDrawingBuffer: true });
renderer.setPixelRatio(1);
renderer.setSize(size, size);
document.body.appendChild(renderer.domElement);

const loader = new GLTFLoader().setMeshoptDecoder(MeshoptDecoder);
let current = null;  // { scene, camera, mixer, action, clip, meshes }

function morphMeshes(root) {
  const meshes = [];
  root.traverse((o) => { if (o.isMesh) meshes.push(o); });
  return meshes;
}

// three's own bounding boxes leave the morph targets out, so the morphed
// positions are summed here from the targets and the current influences.
function morphedBox(meshes) {
  const box = new THREE.Box3();
  const p = new THREE.Vector3();
  for (const mesh of meshes) {
    mesh.updateWorldMatrix(true, false);
    const g = mesh.geometry;
    const base = g.attributes.position;
    const targets = g.morphAttributes.position || [];
    const weights = mesh.morphTargetInfluences || [];
    for (let i = 0; i < base.count; ++i) {
      const x = base.getX(i), y = base.getY(i), z = base.getZ(i);
      let dx = 0, dy = 0, dz = 0;
      for (let k = 0; k < targets.length; ++k) {
        const w = weights[k];
        if (!w) continue;
        const t = targets[k];
        if (g.morphTargetsRelative) {
          dx += w * t.getX(i); dy += w * t.getY(i); dz += w * t.getZ(i);
        } else {
          dx += w * (t.getX(i) - x); dy += w * (t.getY(i) - y); dz += w * (t.getZ(i) - z);
        }
      }
      box.expandByPoint(p.set(x + dx, y + dy, z + dz).applyMatrix4(mesh.matrixWorld));
    }
  }
  return box;
}

// Each call starts the clip afresh, so any time can be asked in any order
// (a finished, clamped action would otherwise stay paused).
function setTime(t) {
  current.action.reset().play();
  current.mixer.setTime(t);
}

function influences() {
  return current.meshes.map((m) => Array.from(m.morphTargetInfluences || []));
}

function frame(box) {
  const centre = box.getCenter(new THREE.Vector3());
  const radius = Math.max(box.getSize(new THREE.Vector3()).length() / 2, 1e-30);
  const camera = new THREE.PerspectiveCamera(35, 1, radius / 100, radius * 100);
  const direction = new THREE.Vector3(1.2, 0.8, 2.0).normalize();
  camera.position.copy(centre).addScaledVector(direction, radius / Math.sin(THREE.MathUtils.degToRad(35 / 2)) * 1.0);
  camera.lookAt(centre);
  return camera;
}

async function load(url) {
  const gltf = await loader.loadAsync(url);
  const scene = new THREE.Scene();
  scene.background = background;
  scene.add(gltf.scene);
  scene.add(new THREE.HemisphereLight(0xffffff, 0x404050, 1.0));
  const sun = new THREE.DirectionalLight(0xffffff, 1.6);
  scene.add(sun);
  const meshes = morphMeshes(gltf.scene);
  if (meshes.length === 0) throw new Error('the file holds no mesh');
  if (gltf.animations.length === 0) throw new Error('the file holds no animation');
  const clip = gltf.animations[0];
  const mixer = new THREE.AnimationMixer(gltf.scene);
  const action = mixer.clipAction(clip);
  action.setLoop(THREE.LoopOnce, 1);
  action.clampWhenFinished = true;
  current = { scene, mixer, action, clip, meshes };

  // One camera for every time, framed on the poses at the clip's keyframes.
  const all = new THREE.Box3();
  const keys = new Set();
  for (const track of clip.tracks) for (const t of track.times) keys.add(t);
  for (const t of keys) { setTime(t); all.union(morphedBox(meshes)); }
  current.camera = frame(all);
  sun.position.copy(current.camera.position).add(new THREE.Vector3(0, all.getSize(new THREE.Vector3()).length(), 0));
  sun.target.position.copy(all.getCenter(new THREE.Vector3()));
  scene.add(sun.target);

  const g = meshes[0].geometry;
  return {
    meshes: meshes.length,
    morphTargets: (g.morphAttributes.position || []).length,
    duration: clip.duration,
    colour: {
      attribute: g.hasAttribute('color'),
      vertexColors: meshes.every((m) => m.material.vertexColors === true),
      morphTargets: (g.morphAttributes.color || []).length,
    },
    quantised: !(g.attributes.position.array instanceof Float32Array),
  };
}

function at(t) {
  setTime(t);
  const box = morphedBox(current.meshes);
  return { time: t, influences: influences(), box: { min: box.min.toArray(), max: box.max.toArray() } };
}

// The frame's luminance spread and the share of pixels off the background:
// a blank or failed render has neither.
function measureFrame() {
  const canvas = document.createElement('canvas');
  canvas.width = canvas.height = size;
  const context = canvas.getContext('2d');
  context.drawImage(renderer.domElement, 0, 0);
  const data = context.getImageData(0, 0, size, size).data;
  let sum = 0, squares = 0, off = 0;
  const n = size * size;
  for (let i = 0; i < data.length; i += 4) {
    const y = 0.2126 * data[i] + 0.7152 * data[i + 1] + 0.0722 * data[i + 2];
    sum += y;
    squares += y * y;
    if (Math.abs(data[i] - backgroundByte) + Math.abs(data[i + 1] - backgroundByte) + Math.abs(data[i + 2] - backgroundByte) > 6) ++off;
  }
  const mean = sum / n;
  return { variance: squares / n - mean * mean, covered: off / n };
}

function render(t) {
  const sample = at(t);
  renderer.render(current.scene, current.camera);
  return { ...sample, ...measureFrame() };
}

window.vorlane = { load, at, render, renderer: () => renderer.getContext().getParameter(renderer.getContext().VERSION) };
window.vorlaneReady = true;
