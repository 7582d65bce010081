// Draws an exported level the way bspwalk draws it: each surface image times its lightmap, twice
// the product, with no colour-space conversion on the way (the viewer multiplies the bytes as they
// are), from the camera of a bspwalk pose. The picture: window.bspwalkPicture, a promise of a PNG
// data URL.
import * as THREE from 'three';
import { GLTFLoader } from 'three/addons/loaders/GLTFLoader.js';

const query = new URLSearchParams(location.search);
const [width, height] = query.get('size').split('x').map(Number);
const [x, y, z, yaw, pitch] = query.get('pose').split(',').map(Number);
const fov = Number(query.get('fov') ?? 80);
const scale = Number(query.get('scale') ?? 0.0254);

// The level's (x, y, z), Z up, in glTF's frame, as the export converts it.
const gltfVector = (v) => new THREE.Vector3(v.x, v.z, -v.y);

// bspwalk's view turns the world by pitch about X, then yaw about Z: the eye's axes in the level
// are those turns undone.
function camera() {
  const undo = new THREE.Matrix4()
    .makeRotationZ(THREE.MathUtils.degToRad(-yaw))
    .multiply(new THREE.Matrix4().makeRotationX(THREE.MathUtils.degToRad(-pitch)));
  const forward = new THREE.Vector3(0, 0, -1).applyMatrix4(undo);
  const up = new THREE.Vector3(0, 1, 0).applyMatrix4(undo);
  const eye = new THREE.PerspectiveCamera(fov, width / height, 5 * scale, 20000 * scale);
  eye.position.copy(gltfVector({ x, y, z }).multiplyScalar(scale));
  eye.up.copy(gltfVector(up));
  eye.lookAt(eye.position.clone().add(gltfVector(forward)));
  return eye;
}

// The viewer's pass: image x lightmap x 2. MeshBasicMaterial adds lightMap x intensity / pi.
async function viewerMaterial(source, parser) {
  const material = new THREE.MeshBasicMaterial({
    map: source.map, color: source.color, alphaTest: source.alphaTest, transparent: source.transparent,
    depthWrite: source.depthWrite, side: source.side,
  });
  if (material.map) material.map.colorSpace = THREE.NoColorSpace;
  const lightmap = source.userData.lightmapTexture;
  if (lightmap) {
    material.lightMap = await parser.getDependency('texture', lightmap.index);
    material.lightMap.channel = lightmap.texCoord;
    material.lightMap.colorSpace = THREE.NoColorSpace;
    material.lightMapIntensity = 2 * Math.PI;
  }
  return material;
}

async function draw() {
  THREE.ColorManagement.enabled = false;
  const renderer = new THREE.WebGLRenderer({ antialias: false, preserveDrawingBuffer: true });
  renderer.setPixelRatio(1);
  renderer.setSize(width, height);
  renderer.outputColorSpace = THREE.LinearSRGBColorSpace;
  document.body.appendChild(renderer.domElement);
  const gltf = await new GLTFLoader().loadAsync(query.get('glb'));
  const meshes = [];
  gltf.scene.traverse((object) => { if (object.isMesh) meshes.push(object); });
  for (const mesh of meshes) mesh.material = await viewerMaterial(mesh.material, gltf.parser);
  const scene = new THREE.Scene();
  scene.background = new THREE.Color(0, 0, 0);
  scene.add(gltf.scene);
  renderer.render(scene, camera());
  return renderer.domElement.toDataURL('image/png');
}

window.bspwalkPicture = draw();
